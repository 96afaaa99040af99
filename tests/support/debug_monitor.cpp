#include "support/debug_monitor.h"
#include <string.h>
#include <mutex>
#include <utility>

namespace {

// A writer waits for BufferReady, fills the buffer (its pid, then the text)
// and signals DataReady; the monitor copies the line and signals BufferReady
// again. Both events reset themselves when a waiter takes them.
const DWORD BufferSize = 4096;
const DWORD IdleTimeoutMs = 10000;

HANDLE BufferReady, DataReady, Mapping, StopEvent, Thread;
const char *Buffer;
std::mutex Lock;
std::vector<std::pair<DWORD, std::string>> Lines;

DWORD WINAPI MonitorThread(void *) {
    HANDLE events[2] = {DataReady, StopEvent};
    SetEvent(BufferReady);
    while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
        DWORD pid;
        memcpy(&pid, Buffer, sizeof pid);
        const char *text = Buffer + sizeof pid;
        std::string line(text, strnlen(text, BufferSize - sizeof pid));
        std::lock_guard<std::mutex> hold(Lock);
        Lines.emplace_back(pid, std::move(line));
        SetEvent(BufferReady);
    }
    return 0;
}

void CloseAll() {
    for (HANDLE *h : {&BufferReady, &DataReady, &Mapping, &StopEvent, &Thread}) {
        if (*h) CloseHandle(*h);
        *h = nullptr;
    }
    if (Buffer) UnmapViewOfFile(Buffer);
    Buffer = nullptr;
}

// Writers only open these objects; finding one already there means another
// monitor listens.
HANDLE CreateOwnEvent(const char *name) {
    HANDLE h = CreateEventA(nullptr, FALSE, FALSE, name);
    if (h && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(h);
        return nullptr;
    }
    return h;
}

}  // namespace

bool DebugMonitorStart() {
    if (Thread) return true;
    Mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, BufferSize,
                                 "DBWIN_BUFFER");
    if (Mapping && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(Mapping);
        Mapping = nullptr;
    }
    if (Mapping) Buffer = static_cast<const char *>(MapViewOfFile(Mapping, FILE_MAP_READ, 0, 0, 0));
    BufferReady = CreateOwnEvent("DBWIN_BUFFER_READY");
    DataReady = CreateOwnEvent("DBWIN_DATA_READY");
    StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (Buffer && BufferReady && DataReady && StopEvent)
        Thread = CreateThread(nullptr, 0, MonitorThread, nullptr, 0, nullptr);
    if (!Thread) CloseAll();
    return Thread != nullptr;
}

void DebugMonitorStop() {
    if (!Thread) return;
    SetEvent(StopEvent);
    WaitForSingleObject(Thread, INFINITE);
    CloseAll();
    std::lock_guard<std::mutex> hold(Lock);
    Lines.clear();
}

std::vector<std::string> DebugMonitorTake(DWORD pid) {
    // OutputDebugStringA returns once it has signalled DataReady, perhaps
    // before the monitor copied the line. BufferReady is set again only after
    // the copy, so taking it (and handing it straight back) proves that every
    // line handed over so far is in Lines.
    std::vector<std::string> taken;
    if (!Thread) return taken;
    if (WaitForSingleObject(BufferReady, IdleTimeoutMs) == WAIT_OBJECT_0) SetEvent(BufferReady);
    std::lock_guard<std::mutex> hold(Lock);
    std::vector<std::pair<DWORD, std::string>> kept;
    for (auto &line : Lines) {
        if (pid == 0 || line.first == pid)
            taken.push_back(std::move(line.second));
        else
            kept.push_back(std::move(line));
    }
    Lines.swap(kept);
    return taken;
}
