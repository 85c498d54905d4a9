// "Read Virtual COM Port": tells the user the display's port, or first asks for the display to be connected.
#include "afx/Text.h"
#include "app/SetupDlg.h"
#include "probe/OutsideComponents.h"

struct CSetupDlg::PortFamily {
    const char* deviceKey;
    const char* portMessage;
};

namespace {
constexpr char kConnectMessage[] =
    "Please connect Kelvo braille display to your computer.\r\nThen press ENTER to continue!";
}

void CSetupDlg::ShowPortVista() {
    static const PortFamily kVista{kVistaDeviceKey, "Kelvo Braille Display at %s \r\nPress ENTER to return "};
    ShowPort(kVista);
}

void CSetupDlg::ShowPortNt() {
    static const PortFamily kNt{kNtDeviceKey, "Kelvo Braille Display at %s \r\nPress ENTER to back "};
    ShowPort(kNt);
}

// The registry is read once per click: a display connected during the first message does not change the second.
void CSetupDlg::ShowPort(const PortFamily& family) {
    std::string portName;
    if (!ReadRegistryString(family.deviceKey, kPortNameValue, portName)) m_prompts.Tell(kConnectMessage);
    m_prompts.Tell(FormatText(family.portMessage, portName.c_str()));
}
