#include <windows.h>

#include "components/kvmessage.h"
#include "toolkit/applet.h"
#include "toolkit/wintext.h"

namespace {

class SystemBox final : public TMessageBoxService {
public:
    int32_t Show(const std::string& text, const std::string& caption, uint32_t style) override {
        // The box belongs to the main form (the application's first form); with no application
        // object it has no owner. A window not made yet is not made for it.
        HWND owner = nullptr;
        if (Applet != nullptr && Applet->ChildCount() > 0) owner = Applet->Child(0)->Handle;
        return MessageBoxW(owner, ToWide(text).c_str(), ToWide(caption).c_str(), style);
    }
};

}  // namespace

TMessageBoxService& SystemMessageBoxService() {
    static SystemBox box;
    return box;
}
