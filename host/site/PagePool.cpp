#include "host/site/PagePool.h"

#include <locale.h>
#include <mbctype.h>
#include <objbase.h>

#include <algorithm>
#include <thread>

namespace tarnwick::host {

unsigned DefaultPageThreads() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return std::max(4u, 2u * static_cast<unsigned>(info.dwNumberOfProcessors));
}

bool PagePool::Start(unsigned threads) {
    ready_ = CreateSemaphoreW(nullptr, 0, 0x7fffffff, nullptr);
    if (!ready_) return false;
    unsigned started = 0;
    for (unsigned i = 0; i < threads; ++i) {
        try {
            std::thread([this] { ThreadMain(); }).detach();
            ++started;
        } catch (...) {
            break;
        }
    }
    return started > 0;
}

void PagePool::Post(const std::string& key, std::function<void()> job) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++unfinished_;
    if (queue_.Push(key, std::move(job))) ReleaseSemaphore(ready_, 1, nullptr);
}

void PagePool::WaitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return unfinished_ == 0; });
}

namespace {

// Wine's script engines compare names with the C runtime's _wcsicmp
// (ucrtbase), which counts references on the runtime's locale at every
// call. With the process's one locale those counts are shared by every page
// thread, and their cache lines bounce between processors on every name a
// page looks up: two pages side by side took longer than one after the
// other. A page thread gets a locale of its own instead. The runtime builds
// a thread's locale from the parts of the one before wherever they agree,
// so the thread takes the system's locale first and then "C" again for all
// that the engines read (names, numbers); the time part stays the system's
// (nothing they call formats dates through the runtime), and the multibyte
// tables are made anew for the same code page.
void KeepRuntimeLocaleToThread() {
    HMODULE runtime = LoadLibraryW(L"ucrtbase.dll");
    if (!runtime) return;
    auto entry = [runtime](const char* name) { return reinterpret_cast<void*>(GetProcAddress(runtime, name)); };
    auto configure = reinterpret_cast<int(__cdecl*)(int)>(entry("_configthreadlocale"));
    auto set = reinterpret_cast<char*(__cdecl*)(int, const char*)>(entry("setlocale"));
    auto setCodePage = reinterpret_cast<int(__cdecl*)(int)>(entry("_setmbcp"));
    if (!configure || !set || !setCodePage || configure(_ENABLE_PER_THREAD_LOCALE) == -1) return;
    bool own = set(LC_ALL, ".ACP") != nullptr;
    for (int category : {LC_COLLATE, LC_CTYPE, LC_MONETARY, LC_NUMERIC}) own = own && set(category, "C") != nullptr;
    // Anything less than "C" for names and numbers would change what pages
    // compute: the thread then keeps the process's locale, as before.
    if (!own) configure(_DISABLE_PER_THREAD_LOCALE);
    else setCodePage(_MB_CP_ANSI);
}

}  // namespace

void PagePool::ThreadMain() {
    KeepRuntimeLocaleToThread();
    // The thread's apartment lives as long as the process: objects a page
    // keeps in Session are called here from other threads, so the thread
    // also runs the calls that come to it (window messages) while it waits.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
    for (;;) {
        DWORD woke = MsgWaitForMultipleObjectsEx(1, &ready_, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            continue;
        }
        if (woke != WAIT_OBJECT_0) continue;
        std::string key;
        std::function<void()> job;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!queue_.Pop(key, job)) continue;
        }
        job();
        job = nullptr;   // what the job held goes with it, on this thread
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.Done(key)) ReleaseSemaphore(ready_, 1, nullptr);
        if (--unfinished_ == 0) idle_.notify_all();
    }
}

}  // namespace tarnwick::host
