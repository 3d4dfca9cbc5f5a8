#pragma once
#include "props/AbstractTree.h"

#include <string>
#include <vector>

namespace app {

struct VideoModes;

/// Text items for the launcher's lists. Every index the data does not hold
/// answers no flags and a null text.
class TextListData : public AbstractTree {
public:
    int itemType(int index) const override;
    ItemValue itemValue(int index) const override;
    unsigned itemFlags(int index) const override;
    const char* itemText(int index) const override;

protected:
    /// The text of item `index` (which is in range), or null.
    virtual const char* text(unsigned index) const = 0;
    bool inRange(int index) const { return index >= 0 && static_cast<unsigned>(index) < count(); }
};

/// The quality presets a machine of class `machineClass` may choose: the
/// first `machineClass` entries of the menu are not shown.
class MenuList : public TextListData {
public:
    MenuList(const std::vector<std::string>* entries, const int* machineClass)
        : entries_(entries), machineClass_(machineClass) {}
    unsigned count() const override;

protected:
    const char* text(unsigned index) const override;

private:
    const std::vector<std::string>* entries_;
    const int* machineClass_;
};

/// The main panel's video modes: the rows of `modeRows` after the row
/// offset, each mode once.
class MenuVideoList : public TextListData {
public:
    explicit MenuVideoList(const VideoModes* modes) : modes_(modes) {}
    unsigned count() const override;

protected:
    const char* text(unsigned index) const override;

private:
    const VideoModes* modes_;
};

/// Every video mode, for the settings window.
class ListaVideoMode : public TextListData {
public:
    explicit ListaVideoMode(const VideoModes* modes) : modes_(modes) {}
    unsigned count() const override;

protected:
    const char* text(unsigned index) const override;

private:
    const VideoModes* modes_;
};

/// No items at all.
class NullListData : public TextListData {
public:
    unsigned count() const override { return 0; }

protected:
    const char* text(unsigned) const override { return nullptr; }
};

} // namespace app
