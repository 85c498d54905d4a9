// The setup speaks for itself only where no screen reader can: after the user closed the one it listened with, and
// while no other runs. Every failure (no speech on this Windows, no voice, an error from any call) leaves it silent
// and the setup otherwise unchanged.
#include "prompts/SetupVoice.h"

#include <sapi.h>

#include "afx/SystemLibrary.h"

namespace {
// ole32 is loaded by full path when the voice is first needed: most runs never speak and don't pay for COM.
// CoCreateInstance finds the speech server through its registration, a full path.
using CoInitializeExFn = HRESULT(WINAPI*)(LPVOID, DWORD);
using CoCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);

CoCreateInstanceFn CreateInstanceFunction() {
    auto initialize = SystemFunction<CoInitializeExFn>("ole32.dll", "CoInitializeEx");
    if (!initialize || FAILED(initialize(nullptr, COINIT_APARTMENTTHREADED))) return nullptr;
    return SystemFunction<CoCreateInstanceFn>("ole32.dll", "CoCreateInstance");
}

// The messages are English: an English voice (language 409) where one is installed, else the default voice.
void PreferEnglish(ISpVoice* voice, CoCreateInstanceFn create) {
    ISpObjectTokenCategory* voices = nullptr;
    if (FAILED(create(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_INPROC_SERVER, IID_ISpObjectTokenCategory,
                      reinterpret_cast<void**>(&voices)))) {
        return;
    }
    IEnumSpObjectTokens* english = nullptr;
    if (SUCCEEDED(voices->SetId(SPCAT_VOICES, FALSE)) &&
        SUCCEEDED(voices->EnumTokens(L"Language=409", nullptr, &english)) && english) {
        ISpObjectToken* token = nullptr;
        if (english->Next(1, &token, nullptr) == S_OK && token) {
            voice->SetVoice(token);
            token->Release();
        }
        english->Release();
    }
    voices->Release();
}

// A vector, not std::wstring: the wide string code would grow the program by a quarter for these lines.
std::vector<wchar_t> Wide(const std::string& text) {
    int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(size > 0 ? size : 0) + 1, L'\0');
    if (size > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

bool ScreenReaderRunning() {
    BOOL running = FALSE;
    return ::SystemParametersInfoA(SPI_GETSCREENREADER, 0, &running, 0) && running;
}

// The one voice whose delayed text the thread timer speaks; the program has one thread and one voice.
SetupVoice* g_delayed = nullptr;
}  // namespace

bool SetupVoice::Ready() {
    if (!m_tried) {
        m_tried = true;
        if (CoCreateInstanceFn create = CreateInstanceFunction()) {
            if (SUCCEEDED(create(CLSID_SpVoice, nullptr, CLSCTX_INPROC_SERVER, IID_ISpVoice,
                                 reinterpret_cast<void**>(&m_voice))) &&
                m_voice) {
                PreferEnglish(m_voice, create);
            } else {
                m_voice = nullptr;
            }
        }
    }
    return m_voice != nullptr;
}

void SetupVoice::Say(const std::string& text) {
    Silence();
    if (!m_enabled || ScreenReaderRunning() || !Ready()) return;
    std::vector<wchar_t> wide = Wide(text);
    unsigned delay = m_delayMs;
    m_delayMs = 0;
    if (delay == 0) {
        Speak(wide);
        return;
    }
    // A thread timer: the prompt's modal loop dispatches it, so the prompt takes keys while the sound plays.
    m_waiting = wide;
    g_delayed = this;
    m_timer = ::SetTimer(nullptr, 0, delay, OnDelayOver);
    if (!m_timer) Speak(wide);
}

void SetupVoice::Announce(const std::string& text) {
    if (!Ready()) return;
    m_voice->Speak(Wide(text).data(), SPF_ASYNC | SPF_IS_NOT_XML, nullptr);
}

void SetupVoice::Speak(const std::vector<wchar_t>& text) {
    m_voice->Speak(text.data(), SPF_ASYNC | SPF_PURGEBEFORESPEAK | SPF_IS_NOT_XML, nullptr);
}

void SetupVoice::Silence() {
    if (m_timer) {
        ::KillTimer(nullptr, m_timer);
        m_timer = 0;
        m_waiting.clear();
    }
    if (m_voice) m_voice->Speak(nullptr, SPF_ASYNC | SPF_PURGEBEFORESPEAK, nullptr);
}

void CALLBACK SetupVoice::OnDelayOver(HWND, UINT, UINT_PTR, DWORD) {
    SetupVoice* voice = g_delayed;
    if (!voice || !voice->m_timer) return;
    ::KillTimer(nullptr, voice->m_timer);
    voice->m_timer = 0;
    voice->Speak(voice->m_waiting);
    voice->m_waiting.clear();
}
