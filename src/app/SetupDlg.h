// CSetupDlg: the main setup window. Every flow of the setup is one of its operations, defined in its
// subsystem's folder.
#pragma once

#include <string>

#include "afx/Dialog.h"
#include "app/OsFamily.h"
#include "probe/WindowEyesProcess.h"
#include "prompts/PromptHost.h"
#include "res/resource.h"

class CSetupDlg : public CDialog {
public:
    explicit CSetupDlg(CWnd* pParent = nullptr, PromptHost& prompts = WindowPrompts());

    // Reads a text value below HKEY_LOCAL_MACHINE; false, with `result` untouched, when it can't.
    static bool ReadRegistryString(const char* keyPath, std::string valueName, std::string& result);

    // Where the minimised window draws its icon in a client area of the given size.
    static POINT IconPosition(const RECT& client, int iconWidth, int iconHeight);

    // The flows.
    void ShowPortVista();
    void ShowPortNt();
    void RunSetupVista();
    void RunSetupNt();
    void UpdateDolphinNt();
    void UpdateDolphinVista();
    bool DetectWindowEyes(std::string& folder, std::string& versionClass);
    void UpdateWindowEyes(const std::string& folder, const std::string& versionClass, const std::string& portName,
                          Family family);

    // Window timers of the installation sequence's waits, handled by OnTimer.
    static constexpr UINT_PTR TIMER_DEVICE_WATCH = 1;
    static constexpr UINT_PTR TIMER_WINDOWEYES_WATCH = 2;
    static constexpr UINT_PTR TIMER_CHIME = 3;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    MessageMap GetMessageMap() const override;

private:
    struct PortFamily;
    struct SetupFamily;
    struct DolphinFamily;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnBegin();
    void OnReadVirtualComPort();
    void OnTimer(UINT nIDEvent);
    void OnButton3();

    void ShowPort(const PortFamily& family);
    void UpdateDolphin(const DolphinFamily& family);
    void RunSetup(const SetupFamily& family);
    bool RunDriverInstaller(const char* installer);
    void WaitForDevice(const SetupFamily& family, std::string& registry);
    void WaitForWindowEyesClosed(const std::string& folder, const std::string& versionClass);

    static const MessageMapEntry kMessageMap[];

    CButton m_btnBegin;
    CButton m_btnReadPort;
    HICON m_hIcon;
    PromptHost& m_prompts;
    WindowEyesProcess m_windowEyes;  // every process behind its window, followed from the first check that finds one
};
