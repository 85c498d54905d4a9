// Reads a prompt the way a screen reader does: focus and selection through the window manager, then the focused
// object's name, value, role and state through MSAA.
#include "ScreenReader.h"

#include <oleacc.h>

#include <gtest/gtest.h>

namespace bench {

namespace {
constexpr int kMessageField = 1002;

std::wstring Take(BSTR text) {
    std::wstring taken = text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return taken;
}

void ReadMsaa(HWND field, PromptReading& reading) {
    // COM stays initialised for the rest of the test program: starting it afresh for every prompt is slow under
    // Wine. An earlier initialisation of another kind also lets us go on.
    static const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)init;
    IAccessible* object = nullptr;
    if (SUCCEEDED(::AccessibleObjectFromWindow(field, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                               reinterpret_cast<void**>(&object))) &&
        object) {
        VARIANT self;
        ::VariantInit(&self);
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        BSTR value = nullptr;
        object->get_accName(self, &name);
        object->get_accValue(self, &value);
        reading.msaaName = Take(name);
        reading.msaaValue = Take(value);
        VARIANT role;
        ::VariantInit(&role);
        if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) reading.msaaRole = role.lVal;
        VARIANT state;
        ::VariantInit(&state);
        if (SUCCEEDED(object->get_accState(self, &state)) && state.vt == VT_I4) reading.msaaState = state.lVal;
        object->Release();
        reading.msaaAnswered = true;
    }
}
}  // namespace

PromptReading ReadPrompt(const Window& prompt) {
    PromptReading reading;
    Window field = prompt.Control(kMessageField);
    reading.fieldFocused = field.Handle() && prompt.Focus().Handle() == field.Handle();
    reading.fieldText = field.TextW();
    std::pair<int, int> selection = field.Selection();
    reading.wholeSelected = selection.first == 0 && selection.second == static_cast<int>(reading.fieldText.size());
    reading.closeButton = (prompt.Style() & WS_SYSMENU) != 0;
    ReadMsaa(field.Handle(), reading);
    reading.stillOpen = prompt.Exists();
    return reading;
}

void ExpectReadable(const Window& prompt) {
    PromptReading reading = ReadPrompt(prompt);
    if (!reading.stillOpen) return;
    std::string shown = prompt.Control(kMessageField).Text();
    EXPECT_TRUE(reading.fieldFocused) << "the focus is not in the message field: " << shown;
    EXPECT_TRUE(reading.wholeSelected) << "the message is not wholly selected: " << shown;
    EXPECT_FALSE(reading.closeButton) << "the prompt has a close button: " << shown;
    if (!reading.msaaAnswered) return;
    // A screen reader speaks an edit field's value; it must be the message itself, and the field is read-only.
    EXPECT_EQ(reading.fieldText, reading.msaaValue) << "MSAA reads something else than the message: " << shown;
    EXPECT_EQ(ROLE_SYSTEM_TEXT, reading.msaaRole) << shown;
    EXPECT_TRUE(reading.msaaState & STATE_SYSTEM_FOCUSED) << "MSAA does not see the focus: " << shown;
    EXPECT_TRUE(reading.msaaState & STATE_SYSTEM_READONLY) << "MSAA does not see a read-only field: " << shown;
}

}  // namespace bench
