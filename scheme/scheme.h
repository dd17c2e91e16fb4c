// TClassMainForm_4051E30: the whole program as one scheme. It creates the 46 components in a fixed
// order and gives them their properties, joins them with 55 links, finishes the window components
// and destroys everything in reverse order. Links stay disabled while it is built.
#pragma once

#include <array>
#include <cstddef>

#include "components/kvhub.h"
#include "components/kvif_else.h"
#include "components/kvmath.h"
#include "components/kvmemory.h"
#include "components/kvmessage.h"
#include "components/kvmmtimer.h"
#include "components/kvping.h"
#include "components/kvstrcatdelim.h"
#include "components/kvtime.h"
#include "components/periodif_else.h"
#include "runtime/tobject.h"
#include "wincomponents/kvbutton.h"
#include "wincomponents/kvedit.h"
#include "wincomponents/kvlabel.h"
#include "wincomponents/kvled.h"
#include "wincomponents/kvmainform.h"
#include "wincomponents/kvrichedit.h"

// The platform services the scheme's components use; tests put fakes here.
struct TSchemeServices {
    TEchoService* Echo = &SystemEchoService();
    TTimerService* Timer = &SystemTimerService();
    TMessageBoxService* Box = &SystemMessageBoxService();
};

class TClassMainForm_4051E30 : public TObject {
public:
    explicit TClassMainForm_4051E30(const TSchemeServices& services = {});
    ~TClassMainForm_4051E30() override;

    static constexpr size_t kComponents = 46;

    TKVMainForm* Form = nullptr;
    TKVPing* Ping = nullptr;
    TKVLabel* LblHost = nullptr;
    TKVEdit* EditHost = nullptr;
    TKVButton* BtnPing = nullptr;
    TKVLabel* LblStatus = nullptr;
    TKVRichEdit* Log = nullptr;
    TKVStrCatDelim* CatRtt = nullptr;
    TKVStrCatDelim* CatSize = nullptr;
    TKVTime* TimeReply = nullptr;
    TKVStrCatDelim* CatReply = nullptr;
    TKVStrCatDelim* CatTimeout = nullptr;
    TKVTime* TimeTimeout = nullptr;
    TKVHub* HubLog = nullptr;
    TKVMemory* MemTimeout = nullptr;
    TKVMemory* MemReply = nullptr;
    TKVHub* HubFail = nullptr;
    TKVLED* LedHost = nullptr;
    TKVHub* HubReply = nullptr;
    TKVEdit* EditInterval = nullptr;
    TKVMMTimer* Timer = nullptr;
    TKVLabel* LblEvery = nullptr;
    TKVLabel* LblSeconds = nullptr;
    TKVButton* BtnStart = nullptr;
    TKVHub* HubPing = nullptr;
    TKVButton* BtnStop = nullptr;
    TKVMath* MathMs = nullptr;
    TKVStrCatDelim* CatEvery = nullptr;
    TKVHub* HubStart = nullptr;
    TPeriodIf_else* IfZero = nullptr;
    TKVMessage* MsgError = nullptr;
    TKVHub* HubError = nullptr;
    TKVStrCatDelim* CatOne = nullptr;
    TKVLED* LedCycle = nullptr;
    TKVHub* HubReset = nullptr;
    TKVStrCatDelim* CatStop = nullptr;
    TKVTime* TimeStop = nullptr;
    TKVHub* HubStop = nullptr;
    TKVTime* TimeStart = nullptr;
    TKVStrCatDelim* CatStart = nullptr;
    TKVHub* HubStarted = nullptr;
    TKVButton* BtnClear = nullptr;
    TKVButton* BtnAbout = nullptr;
    TKVMessage* MsgAbout = nullptr;
    // A period the platform's timer refuses: the cycle lamp goes out and a box says so.
    TKVHub* HubRefused = nullptr;
    TKVMessage* MsgRefused = nullptr;

    // Every component in creation order.
    const std::array<TObject*, kComponents>& Components() const { return made_; }

private:
    template <class T>
    T* Made(T* component);
    void MakeComponents(const TSchemeServices& services);
    void MakeLinks();
    void Finish();

    std::array<TObject*, kComponents> made_{};
    size_t count_ = 0;
};

// The scheme while it exists, from the start of its construction.
extern TClassMainForm_4051E30* Scheme;
