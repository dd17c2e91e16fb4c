// TKVWinList: the base of window components whose content is a list of lines; TKVEWinList adds
// replacing the whole text. Only the rich-edit log (kvrichedit.h) is instantiated in this program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/strlist.h"
#include "wincomponents/kvwin.h"

class TKVWinList : public TKVWin {
public:
    explicit TKVWinList(TControl* parent) : TKVWin(parent) {}
    ~TKVWinList() override;

    void* MemoryBlock = nullptr;  // released with std::free when set; nothing here sets it
    TStrList* Strings = nullptr;  // scratch list of GetAllText's list form
    uint8_t AddMode = 0;          // 0 append at the end, 1 insert at the top
    TKV_Event pinStr;
    TKV_Event evChange;

    // Operations 17 to 25, after TKVWin's sixteen.
    virtual void SyncStrings();
    virtual void SetAllText(std::string_view text) = 0;
    virtual void BeginUpdate();
    virtual void EndUpdate();
    virtual int32_t AddString(std::string_view text);
    virtual void SelectIndex(int32_t index);
    virtual void SetLine(TData& index, TData& text);
    virtual void ClearAll(TData& data);
    virtual void GetAllText(TData& data);

    // Action entries and the getter reach the operations above, so a link to them serves every kind.
    void actAdd(TData& data, uint16_t /*index*/) { Add(data); }
    void actClear(TData& data, uint16_t /*index*/) { ClearAll(data); }
    void getText(TData& data, uint16_t /*index*/) { GetAllText(data); }

protected:
    // Adds one line as the component's AddMode says.
    virtual void Add(TData& data);
    int32_t LineCount();
    std::string Line(int32_t index);
    // Replaces the selection from start to end (-1: the end of the text) with text.
    void Replace(int32_t start, int32_t end, std::string_view text);
};

class TKVEWinList : public TKVWinList {
public:
    explicit TKVEWinList(TControl* parent) : TKVWinList(parent) {}

    void SetAllText(std::string_view text) override;
};
