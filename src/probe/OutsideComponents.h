// What the setup reads of the display's driver and of Window-Eyes: keys, value names and window titles.
#pragma once

// The display's device keys below HKEY_LOCAL_MACHINE; PortName names its virtual COM port.
constexpr char kVistaDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10c4&Pid_ea60\\0001\\Device Parameters";
constexpr char kNtDeviceKey[] =
    "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10c4&Pid_ea60&Mi_00\\0001_00\\Device Parameters";
constexpr char kPortNameValue[] = "PortName";

// Present once the CP210x driver installer has run.
constexpr char kDriverInstallKey[] =
    "SOFTWARE\\Silicon Laboratories, Inc.\\Silicon Laboratories Driver Installations\\VCP CP210x "
    "Cardinal\\SLABCOMM&10C4&EA60";
constexpr char kDriverInstallValue[] = "ProductName";

constexpr char kWindowEyesKey[] = "SOFTWARE\\GW Micro, Inc.\\Window-Eyes\\Professional";
constexpr char kWindowEyesPathValue[] = "Path";
constexpr char kWindowEyesVersionValue[] = "Version";
// The whole title of Window-Eyes' main window while it runs.
constexpr char kWindowEyesTitle[] = "Window-Eyes";

// The caption of the setup's own prompt dialogs.
constexpr char kCautionTitle[] = "Kelvo:Caution";
