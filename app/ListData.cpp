#include "app/ListData.h"

#include "app/VideoModes.h"

namespace app {

int TextListData::itemType(int index) const {
    return inRange(index) ? typeText : 0;
}

ItemValue TextListData::itemValue(int index) const {
    ItemValue value{};
    if (inRange(index))
        value.text = text(static_cast<unsigned>(index));
    return value;
}

unsigned TextListData::itemFlags(int index) const {
    return inRange(index) ? itemSelectable : 0;
}

const char* TextListData::itemText(int index) const {
    return inRange(index) ? text(static_cast<unsigned>(index)) : nullptr;
}

unsigned MenuList::count() const {
    int n = static_cast<int>(entries_->size()) - *machineClass_;
    return n > 0 ? static_cast<unsigned>(n) : 0;
}

const char* MenuList::text(unsigned index) const {
    return (*entries_)[static_cast<size_t>(*machineClass_) + index].c_str();
}

unsigned MenuVideoList::count() const {
    // Without any resolution there is nothing to choose from.
    if (modes_->empty())
        return 0;
    return static_cast<unsigned>(modes_->shownRows().size());
}

const char* MenuVideoList::text(unsigned index) const {
    int mode = modes_->modeRows[size_t(modes_->rowOfEntry(static_cast<int>(index)))];
    if (mode < 0 || static_cast<size_t>(mode) >= modes_->names.size())
        return nullptr;
    return modes_->names[static_cast<size_t>(mode)].c_str();
}

unsigned ListaVideoMode::count() const {
    return static_cast<unsigned>(modes_->names.size());
}

const char* ListaVideoMode::text(unsigned index) const {
    return modes_->names[index].c_str();
}

} // namespace app
