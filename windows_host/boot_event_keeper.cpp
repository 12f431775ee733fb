// boot_event_keeper.exe - keeps a Wine session's boot event signalled, so that the programs
// the tests start in that session start at once.
//
// Every program started under Wine from outside Wine first waits for the prefix's set-up
// program (wineboot), and starts one unless a process of the session already holds its event,
// \KernelObjects\__wineboot_event. In the tests' minimal prefix the set-up program is disabled:
// starting it fails, but only after as long as starting a program takes, which under a 32-bit
// emulator is tens of seconds. This program, started once per session, holds the event
// signalled until the session ends (wineserver -k), so that every later start finds it set. It
// holds the desktop too, for the same reason.
//
// It prints "boot event held" once the event is set. With --once it exits then: a start of a
// program in the session, for timing one. Exit status 1 if the event could not be set.
#include <windows.h>
#include <winternl.h>

#include <stdio.h>
#include <string.h>

typedef NTSTATUS(NTAPI* CreateEventCall)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*, int, BOOLEAN);

int main(int argc, char** argv) {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const CreateEventCall createEvent = reinterpret_cast<CreateEventCall>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateEvent")));
    if (createEvent == nullptr) {
        fprintf(stderr, "boot_event_keeper: ntdll has no NtCreateEvent\n");
        return 1;
    }
    wchar_t path[] = L"\\KernelObjects\\__wineboot_event";
    UNICODE_STRING name;
    name.Buffer = path;
    name.Length = USHORT(sizeof path - sizeof(wchar_t));
    name.MaximumLength = USHORT(sizeof path);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_OPENIF, nullptr, nullptr);
    HANDLE event = nullptr;
    const int NotificationEvent = 0; // stays signalled for every waiter
    NTSTATUS status = createEvent(&event, EVENT_ALL_ACCESS, &attributes, NotificationEvent, TRUE);
    if (status < 0 || !SetEvent(event)) {
        fprintf(stderr, "boot_event_keeper: cannot hold the boot event (status 0x%08lX)\n",
                static_cast<unsigned long>(status));
        return 1;
    }
    // The desktop window, which starts the session's desktop process and keeps it: the desktop
    // process ends with the last process attached to the desktop, and starting it again would
    // cost each program with a window another start.
    if (GetDesktopWindow() == nullptr) {
        fprintf(stderr, "boot_event_keeper: no desktop window\n");
        return 1;
    }
    printf("boot event held\n");
    fflush(stdout);
    if (argc == 2 && strcmp(argv[1], "--once") == 0)
        return 0;
    Sleep(INFINITE);
    return 0;
}
