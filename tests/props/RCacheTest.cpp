#include "props/Loader.h"
#include "props/Properties.h"
#include "props/PropertiesParser.h"
#include "props/RCacheS.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The resource a test loader makes: what it was made from.
struct Made {
    std::string from;
    std::string extra;
};

// A loader whose answers the test sets. Resources are `Made` objects.
class TestLoader : public Loader {
public:
    explicit TestLoader(const char* type, std::vector<const char*> extensions = {},
                        const char* alias = nullptr)
        : type_(type), extensions_(std::move(extensions)), alias_(alias) {
        extensions_.push_back(nullptr);
    }

    const char* typeName() const override { return type_; }
    const char* const* extensions() const override { return extensions_.data(); }
    bool accepts(const char* type) const override {
        return Loader::accepts(type) || (alias_ != nullptr && type != nullptr && std::string(type) == alias_);
    }
    void release(void* resource) override {
        ++released;
        delete static_cast<Made*>(resource);
    }
    void* loadFile(RCache&, const std::string& path, const std::string& extra, int& error) override {
        ++fileLoads;
        if (failWith >= 0) {
            error = failWith;
            return nullptr;
        }
        return new Made{path, extra};
    }
    void* loadProperties(RCache& cache, const Property& node, int& error) override {
        ++nodeLoads;
        if (!requestDuringLoad.empty())
            cache.get(type_, requestDuringLoad, &innerCode);
        if (failWith >= 0) {
            error = failWith;
            return nullptr;
        }
        return new Made{node.value(), ""};
    }

    int fileLoads = 0;
    int nodeLoads = 0;
    int released = 0;
    int failWith = -1; // >= 0: answer null with this code
    std::string requestDuringLoad;
    int innerCode = -1;

private:
    const char* type_;
    std::vector<const char*> extensions_;
    const char* alias_;
};

class RCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("res.txt", "font = TTFont : 'arial.ttf?12'\n"
                             "pic = Image : picture\n"
                             "odd = Unknown : x\n"
                             "plain = nothing\n"
                             "<more.txt?skipped>\n");
        dir.write("more.txt", "self = Image : me\n");
    }
    void TearDown() override { cache.clear(); }

    testkit::TempDir dir;
    TestLoader images{"Image", {"png", "jpg"}};
    TestLoader fonts{"TTFont", {"ttf"}, "Font"};
    RCacheS cache{dir.path()};
};

} // namespace

TEST(RCacheResolve, PrefixesTheBaseOnceAndSplitsOffTheExtraPart) {
    RCacheS cache("res");
    std::string path, extra = "stale";
    cache.resolve(path, "res/a.png", &extra);
    EXPECT_EQ(path, "res/a.png");
    EXPECT_EQ(extra, "");
    cache.resolve(path, "a.png?12", &extra);
    EXPECT_EQ(path, "res/a.png");
    EXPECT_EQ(extra, "12");
    cache.resolve(path, "b.ttf?18?x", nullptr);
    EXPECT_EQ(path, "res/b.ttf");
    cache.resolve(path, "resources.txt", &extra);
    EXPECT_EQ(path, "res/resources.txt"); // only the whole "res/" counts as a prefix

    cache.setBase("/opt/launcher", "res");
    EXPECT_EQ(cache.base(), "/opt/launcher/res");
    cache.setBase("here");
    EXPECT_EQ(cache.base(), "here");

    FileFinder identity;
    extra = "kept";
    identity.resolve(path, "a.png?12", &extra);
    EXPECT_EQ(path, "a.png?12");
    EXPECT_EQ(extra, "kept");
}

TEST(Loaders, TheLastConstructedIsFoundFirstAndExtensionsMatchExactly) {
    TestLoader older("Sprite", {"png"});
    EXPECT_EQ(Loader::findLoader("Sprite"), &older);
    {
        TestLoader newer("Sprite", {"png", "bmp"});
        EXPECT_EQ(Loader::first(), &newer);
        EXPECT_EQ(newer.next(), &older);
        EXPECT_EQ(Loader::findLoader("Sprite"), &newer);
        EXPECT_EQ(Loader::findLoader("Sprite", "dir.v2/a.png"), &newer);
        EXPECT_EQ(Loader::findLoader("Sprite", "a.bmp"), &newer);
        EXPECT_EQ(Loader::findLoader("Sprite", "a.PNG"), nullptr);
        EXPECT_EQ(Loader::findLoader("Sprite", "bmp"), &newer); // no dot: the whole name is the extension
        EXPECT_EQ(Loader::findLoader("sprite"), nullptr);
        EXPECT_EQ(Loader::findLoader(nullptr), nullptr);
    }
    // A destroyed loader leaves the registry.
    EXPECT_EQ(Loader::findLoader("Sprite", "a.bmp"), nullptr);
    EXPECT_EQ(Loader::findLoader("Sprite", "a.png"), &older);

    TestLoader frames("PFrame", {}, "Frame");
    EXPECT_TRUE(frames.accepts("Frame"));
    EXPECT_TRUE(frames.accepts("PFrame"));
    EXPECT_FALSE(frames.accepts(nullptr));
    EXPECT_EQ(Loader::findLoader("Frame"), nullptr); // type names compare exactly, aliases aside
    EXPECT_EQ(*frames.Loader::extensions(), nullptr);
}

TEST_F(RCacheTest, FilesAreMadeOnceAndMadeAgainAfterClear) {
    int error = -1;
    auto* first = static_cast<Made*>(cache.get("Image", "a.png?7", &error));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(first->from, dir.path() + "/a.png");
    EXPECT_EQ(first->extra, "7");
    EXPECT_EQ(cache.get<Made>("Image", "a.png?7"), first);
    EXPECT_EQ(images.fileLoads, 1);
    EXPECT_EQ(cache.find("a.png?7"), first);
    EXPECT_EQ(cache.find("a.png"), nullptr); // names are kept exactly as asked

    cache.clear();
    EXPECT_EQ(images.released, 1);
    EXPECT_EQ(cache.find("a.png?7"), nullptr);
    ASSERT_NE(cache.get("Image", "a.png?7", &error), nullptr);
    EXPECT_EQ(images.fileLoads, 2);
}

TEST_F(RCacheTest, FailuresGiveTheirCodeOrRaiseNotFound) {
    int error = 0;
    EXPECT_EQ(cache.get("Image", "a.PNG", &error), nullptr);
    EXPECT_EQ(error, 5);
    EXPECT_EQ(cache.get("Font", "arial.ttf?12", &error), nullptr); // no loader is named Font
    EXPECT_EQ(error, 5);
    EXPECT_EQ(cache.get("Image", "@pic", &error), nullptr); // no tree read yet
    EXPECT_EQ(error, 6);

    images.failWith = 0;
    EXPECT_EQ(cache.get("Image", "broken.png", &error), nullptr);
    EXPECT_EQ(error, 4);
    images.failWith = 2;
    EXPECT_EQ(cache.get("Image", "broken.png", &error), nullptr);
    EXPECT_EQ(error, 2);
    EXPECT_EQ(images.fileLoads, 2); // the entry kept its loader and tried it again

    try {
        cache.get("Image", "a.PNG", nullptr);
        FAIL() << "no exception";
    } catch (const RCache::NotFound& e) {
        EXPECT_EQ(e.code(), 5);
        EXPECT_EQ(e.type(), "Image");
        EXPECT_EQ(e.name(), "a.PNG");
        EXPECT_STREQ(e.what(), "[RCache: ERROR 5 - No se pudo cargar 'Image':'a.PNG']");
    }
    EXPECT_STREQ(RCache::NotFound(nullptr, "@x", 6).what(), "[RCache: ERROR 6 - No se pudo cargar '?':'@x']");
    EXPECT_THROW(cache.get<Made>("Image", "@pic"), RCache::NotFound);
}

TEST_F(RCacheTest, AtNamesAreBuiltFromTheResourcesTree) {
    ASSERT_TRUE(cache.readProperties("res.txt"));
    ASSERT_NE(cache.properties(), nullptr);
    EXPECT_EQ(cache.properties()->getString("self"), "me"); // the include's "?" part was dropped

    int error = -1;
    auto* font = static_cast<Made*>(cache.get("Font", "@font", &error)); // through the alias
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->from, "arial.ttf?12");
    EXPECT_EQ(cache.get("TTFont", "@font", &error), font);
    EXPECT_EQ(fonts.nodeLoads, 1);

    EXPECT_EQ(cache.get("Image", "@missing", &error), nullptr);
    EXPECT_EQ(error, 6);
    EXPECT_EQ(cache.get("Image", "@odd", &error), nullptr); // no loader for the annotation
    EXPECT_EQ(error, 5);
    EXPECT_EQ(cache.get("Image", "@plain", &error), nullptr); // no annotation at all
    EXPECT_EQ(error, 5);
    EXPECT_EQ(cache.get("Font", "@pic", &error), nullptr);
    EXPECT_EQ(error, 3);
    EXPECT_EQ(images.nodeLoads, 0);

    // Reading another file replaces the tree; a failed read leaves none.
    dir.write("bad.txt", "a = = b\n");
    EXPECT_THROW(cache.readProperties("bad.txt"), PropertiesParser::Error);
    EXPECT_EQ(cache.properties(), nullptr);
    EXPECT_FALSE(cache.readProperties("absent.txt"));
}

TEST_F(RCacheTest, AResourceIsNeverHandedOutAsAnotherType) {
    ASSERT_TRUE(cache.readProperties("res.txt"));
    int error = -1;
    void* image = cache.get("Image", "@pic", &error);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(cache.get("TTFont", "@pic", &error), nullptr);
    EXPECT_EQ(error, 3);
    EXPECT_EQ(cache.get(nullptr, "@pic", &error), image); // no type asked: whatever is there

    // A load that asks for its own name does not recurse.
    images.requestDuringLoad = "@self";
    ASSERT_NE(cache.get("Image", "@self", &error), nullptr);
    EXPECT_EQ(images.innerCode, 6);
    EXPECT_EQ(images.nodeLoads, 2);
}

TEST_F(RCacheTest, AParentLendsItsResourcesAndItsTree) {
    ASSERT_TRUE(cache.readProperties("res.txt"));
    void* shared = cache.get("Image", "a.png", nullptr);
    RCacheS child("elsewhere");
    child.setParent(&cache);
    EXPECT_EQ(child.parent(), &cache);
    EXPECT_EQ(child.properties(), cache.properties());
    EXPECT_EQ(child.get("Image", "a.png", nullptr), shared);
    EXPECT_EQ(images.fileLoads, 1);

    void* own = child.get("Image", "@pic", nullptr); // made by the child from the parent's tree
    EXPECT_NE(own, nullptr);
    EXPECT_EQ(cache.find("@pic"), nullptr);
    child.clear();
    EXPECT_EQ(images.released, 1);
    EXPECT_EQ(cache.find("a.png"), shared);
}

TEST(ResourceCache, IsOneCacheBasedInTheCurrentDirectory) {
    RCacheS& cache = resourceCache();
    EXPECT_EQ(&cache, &resourceCache());
    EXPECT_EQ(cache.base(), ".");
    EXPECT_EQ(cache.properties(), nullptr);
}

TEST_F(RCacheTest, ARequestWithoutTypeTakesWhatTheNodeOrTheExtensionMakes) {
    ASSERT_TRUE(cache.readProperties("res.txt"));
    int error = -1;
    auto* font = static_cast<Made*>(cache.get(nullptr, "@font", &error)); // made first without a type
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(fonts.nodeLoads, 1);
    EXPECT_EQ(cache.get("TTFont", "@font", &error), font);
    auto* file = static_cast<Made*>(cache.get(nullptr, "b.ttf?10", &error)); // chosen by its extension
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(fonts.fileLoads, 1);
    EXPECT_EQ(cache.get(nullptr, "b.xyz", &error), nullptr);
    EXPECT_EQ(error, 5);
    EXPECT_EQ(Loader::findLoader(nullptr, "c.png"), &images);
}
