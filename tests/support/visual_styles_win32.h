// The common controls version 6, and with them visual styles, for windows a test makes in its
// own process: the program asks for them in its manifest, which a test executable lacks. While
// an object of this class lives, the controls made are those the program makes.
#pragma once

#include <fstream>
#include <string>

#include "platform/win32/windows_api.h"

namespace testing_support {

class VisualStyles {
  public:
    VisualStyles() {
        char folder[MAX_PATH] = {};
        const DWORD length = GetTempPathA(sizeof folder, folder);
        if (length == 0 || length >= sizeof folder) return;
        path_ = std::string(folder) + "calvenor-tests-" + std::to_string(GetCurrentProcessId()) +
                ".manifest";
        std::ofstream(path_) << kManifest;
        ACTCTXA context = {};
        context.cbSize = sizeof context;
        context.lpSource = path_.c_str();
        context_ = CreateActCtxA(&context);
        if (context_ != INVALID_HANDLE_VALUE) ActivateActCtx(context_, &cookie_);
    }
    ~VisualStyles() {
        if (cookie_ != 0) DeactivateActCtx(0, cookie_);
        if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
        if (!path_.empty()) DeleteFileA(path_.c_str());
    }
    VisualStyles(const VisualStyles&) = delete;
    VisualStyles& operator=(const VisualStyles&) = delete;

    bool active() const { return cookie_ != 0; }

  private:
    // The program's dependency, for whichever processor the test runs on.
    static constexpr const char* kManifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
        "  <dependency><dependentAssembly>\n"
        "    <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\"\n"
        "      version=\"6.0.0.0\" processorArchitecture=\"*\"\n"
        "      publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\n"
        "  </dependentAssembly></dependency>\n"
        "</assembly>\n";

    std::string path_;
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
};

}  // namespace testing_support
