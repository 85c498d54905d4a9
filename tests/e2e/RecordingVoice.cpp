// A speech voice that records instead of speaking: registered in the test prefix as what the voice class is treated
// as (TreatAs), it is what the setup's CoCreateInstance gets, and it appends what it was asked to say, and when, to the
// file that KELVO_VOICE_LOG names. One line a call: the tick count, then "say TEXT" (UTF-8, CR and LF written as \r and
// \n), "stop" (a purge with nothing to say) or "voice TOKEN-ID" (the voice chosen).
#include <windows.h>

#include <sapi.h>

#include <string>

namespace {
std::string Utf8(const wchar_t* text) {
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], size, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

void Record(const std::string& what) {
    char log[MAX_PATH] = "";
    DWORD length = ::GetEnvironmentVariableA("KELVO_VOICE_LOG", log, sizeof log);
    if (length == 0 || length >= sizeof log) return;
    std::string line = std::to_string(::GetTickCount()) + " " + what + "\n";
    HANDLE file = ::CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
}

#define KELVO_NOT_RECORDED(signature) \
    HRESULT STDMETHODCALLTYPE signature override { return E_NOTIMPL; }

class RecordingVoice final : public ISpVoice {
public:
    virtual ~RecordingVoice() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_ISpVoice) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Speak(LPCWSTR text, DWORD flags, ULONG* stream) override {
        if (stream) *stream = 1;
        if (!text || !*text) {
            Record((flags & SPF_PURGEBEFORESPEAK) ? "stop" : "nothing");
            return S_OK;
        }
        std::string line;
        for (char c : Utf8(text)) line += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
        Record(std::string((flags & SPF_ASYNC) ? "say " : "say-and-wait ") + line);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetVoice(ISpObjectToken* token) override {
        LPWSTR id = nullptr;
        if (!token || FAILED(token->GetId(&id)) || !id) return E_INVALIDARG;
        Record("voice " + Utf8(id));
        ::CoTaskMemFree(id);
        return S_OK;
    }

    KELVO_NOT_RECORDED(SetNotifySink(ISpNotifySink*))
    KELVO_NOT_RECORDED(SetNotifyWindowMessage(HWND, UINT, WPARAM, LPARAM))
    KELVO_NOT_RECORDED(SetNotifyCallbackFunction(SPNOTIFYCALLBACK*, WPARAM, LPARAM))
    KELVO_NOT_RECORDED(SetNotifyCallbackInterface(ISpNotifyCallback*, WPARAM, LPARAM))
    KELVO_NOT_RECORDED(SetNotifyWin32Event())
    KELVO_NOT_RECORDED(WaitForNotifyEvent(DWORD))
    HANDLE STDMETHODCALLTYPE GetNotifyEventHandle() override { return nullptr; }
    KELVO_NOT_RECORDED(SetInterest(ULONGLONG, ULONGLONG))
    KELVO_NOT_RECORDED(GetEvents(ULONG, SPEVENT*, ULONG*))
    KELVO_NOT_RECORDED(GetInfo(SPEVENTSOURCEINFO*))
    KELVO_NOT_RECORDED(SetOutput(IUnknown*, WINBOOL))
    KELVO_NOT_RECORDED(GetOutputObjectToken(ISpObjectToken**))
    KELVO_NOT_RECORDED(GetOutputStream(ISpStreamFormat**))
    KELVO_NOT_RECORDED(Pause())
    KELVO_NOT_RECORDED(Resume())
    KELVO_NOT_RECORDED(GetVoice(ISpObjectToken**))
    KELVO_NOT_RECORDED(SpeakStream(IStream*, DWORD, ULONG*))
    KELVO_NOT_RECORDED(GetStatus(SPVOICESTATUS*, LPWSTR*))
    KELVO_NOT_RECORDED(Skip(LPCWSTR, LONG, ULONG*))
    KELVO_NOT_RECORDED(SetPriority(SPVPRIORITY))
    KELVO_NOT_RECORDED(GetPriority(SPVPRIORITY*))
    KELVO_NOT_RECORDED(SetAlertBoundary(SPEVENTENUM))
    KELVO_NOT_RECORDED(GetAlertBoundary(SPEVENTENUM*))
    KELVO_NOT_RECORDED(SetRate(LONG))
    KELVO_NOT_RECORDED(GetRate(LONG*))
    KELVO_NOT_RECORDED(SetVolume(USHORT))
    KELVO_NOT_RECORDED(GetVolume(USHORT*))
    KELVO_NOT_RECORDED(WaitUntilDone(ULONG))
    KELVO_NOT_RECORDED(SetSyncSpeakTimeout(ULONG))
    KELVO_NOT_RECORDED(GetSyncSpeakTimeout(ULONG*))
    HANDLE STDMETHODCALLTYPE SpeakCompleteEvent() override { return nullptr; }
    KELVO_NOT_RECORDED(IsUISupported(LPCWSTR, void*, ULONG, WINBOOL*))
    KELVO_NOT_RECORDED(DisplayUI(HWND, LPCWSTR, LPCWSTR, void*, ULONG))

private:
    ULONG m_references = 1;
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        RecordingVoice* voice = new RecordingVoice;
        HRESULT result = voice->QueryInterface(iid, object);
        voice->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
}  // namespace

// The one class it serves, whatever its CLSID: the voice class's TreatAs names it in the registry.
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID, REFIID iid, void** object) {
    static Factory factory;
    return factory.QueryInterface(iid, object);
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
