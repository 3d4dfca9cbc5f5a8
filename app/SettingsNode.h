#pragma once
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace app {

/// One item of the game's settings files: a key (empty for an anonymous
/// item), a value and ordered children. Keys are looked up without regard
/// to the case of ASCII letters; a key given twice finds the later child;
/// anonymous children are reached by position only.
class SettingsNode {
public:
    SettingsNode() = default;
    SettingsNode(std::string key, std::string value) : key(std::move(key)), value(std::move(value)) {}
    SettingsNode(const SettingsNode& other);
    SettingsNode& operator=(const SettingsNode& other);

    /// The child under `key`, or the shared empty node.
    const SettingsNode& find(const std::string& key) const;
    /// The child under `key`, or null.
    SettingsNode* findChild(const std::string& key);
    /// Child `index`, or the shared empty node.
    const SettingsNode& child(size_t index) const;
    SettingsNode* childAt(size_t index);
    size_t count() const { return children_.size(); }
    /// Appends a child and answers it.
    SettingsNode& add(std::string key, std::string value);
    /// The child under `key`, made (with `values` anonymous "0" children) when missing.
    SettingsNode& obtain(const std::string& key, size_t values = 0);
    /// Sets child `index`'s value, appending anonymous children up to it.
    void setValue(size_t index, const std::string& text);
    /// Renames the node; the parent's index follows when `parent` is given.
    void rename(const std::string& newKey, SettingsNode* parent);
    /// Merges `source` into this node as its child number `position`: an
    /// anonymous source's value replaces child `position`'s value (or is
    /// appended when there are fewer children); a keyed source finds or
    /// appends the child of its key, gives it its value and merges its own
    /// children into it by position.
    void merge(const SettingsNode& source, size_t position);
    bool empty() const { return key.empty() && value.empty() && children_.empty(); }

    std::string key;
    std::string value;

private:
    void reindex();
    std::vector<std::unique_ptr<SettingsNode>> children_;
    std::unordered_map<std::string, SettingsNode*> index_;
};

/// Parses the settings text format into `root` (appending to it). Keys and
/// values are cut to 511 characters; the text ends at a NUL byte; blocks
/// nested more than 64 deep keep their node but lose their content.
void parseSettings(const std::string& text, SettingsNode& root);
/// The settings text of `root`, lines ending in a line feed. The value of a
/// keyed node with children is not written (it could not be read back).
std::string formatSettings(const SettingsNode& root);
/// Reads a file (a missing file gives an empty root).
void readSettingsFile(const std::string& path, SettingsNode& root);
/// Writes the tree over the file, line feeds stored as CR LF; false when the
/// file could not be written.
bool writeSettingsFile(const std::string& path, const SettingsNode& root);

} // namespace app
