// SetupVoice: the setup's own voice, Windows' speech (SAPI 5), for the messages that come after the user has closed
// its screen reader at the setup's request.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ISpVoice;

class SetupVoice {
public:
    // The voice is never released: it lives until the process ends, as the setup's prompts do.
    SetupVoice() = default;
    SetupVoice(const SetupVoice&) = delete;
    SetupVoice& operator=(const SetupVoice&) = delete;

    // Until this is called the voice never speaks, so it can never talk over the user's screen reader.
    void SpeakFromNowOn() { m_enabled = true; }
    // The next text is spoken this much later: when a sound that plays under its prompt has ended.
    void DelayNext(unsigned ms) { m_delayMs = ms; }
    // Starts speaking a text of the ANSI code page and returns at once; what was still being said stops. Nothing is
    // spoken while a screen reader runs, nor where speech can't start.
    void Say(const std::string& text);
    // Says a text after what is being said, even before SpeakFromNowOn and while a screen reader runs: for what no
    // screen reader can tell the user. Nothing where speech can't start.
    void Announce(const std::string& text);
    // Stops speaking, and drops a text still waiting for its sound.
    void Silence();

private:
    bool Ready();
    void Speak(const std::vector<wchar_t>& text);
    static void CALLBACK OnDelayOver(HWND, UINT, UINT_PTR, DWORD);

    bool m_enabled = false;
    bool m_tried = false;  // the voice is made once; a failure leaves the setup silent for good
    ISpVoice* m_voice = nullptr;
    unsigned m_delayMs = 0;
    UINT_PTR m_timer = 0;
    std::vector<wchar_t> m_waiting;  // zero-terminated
};
