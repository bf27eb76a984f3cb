/* A 32-bit Windows scale library whose entry (ordinal 2) has the calling
 * convention ENTRY_CONVENTION names, as other compilers build it:
 *   cdecl     the caller pops the two arguments;
 *   stdcall   the entry pops them itself (ret 8);
 *   register  regparm(2): argc in EAX, argv in EDX, nothing read from the stack.
 * The entry first checks that it got argc 3 and the three words of a command
 * ("twswtcp", a command word, a dotted address); otherwise it writes the
 * status 98 into "error" and returns 98. With our stand-in library beside it
 * as "standin.dll", it then hands the call on to that one (a real transfer);
 * without it, it appends "argc|word|word|word" to "argv.txt", writes the
 * status 0 and returns 0. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#if ENTRY_CONVENTION == 1
#define ENTRY __attribute__((cdecl))
#elif ENTRY_CONVENTION == 2
#define ENTRY __attribute__((stdcall))
#elif ENTRY_CONVENTION == 3
#define ENTRY __attribute__((regparm(2)))
#else
#error "ENTRY_CONVENTION must be 1 (cdecl), 2 (stdcall) or 3 (register)"
#endif

typedef int (*StandIn)(int, char**);

static int writeStatus(int status) {
    FILE* f = fopen("error", "w");
    if (f) {
        fprintf(f, "%d\n", status);
        fclose(f);
    }
    return status;
}

static int isCommandWord(const char* w) {
    if (!w || !((w[0] >= 'A' && w[0] <= 'Z') || (w[0] >= 'a' && w[0] <= 'z'))) return 0;
    for (++w; *w; ++w)
        if (*w < '0' || *w > '9') return 0;
    return 1;
}

static int isAddress(const char* w) {
    int dots = 0, digits = 0;
    if (!w) return 0;
    for (; *w; ++w) {
        if (*w == '.') {
            if (!digits) return 0;
            ++dots;
            digits = 0;
        } else if (*w >= '0' && *w <= '9') {
            if (++digits > 3) return 0;
        } else {
            return 0;
        }
    }
    return dots == 3 && digits > 0;
}

static HMODULE self;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

/* The stand-in library in this library's own folder, or NULL. */
static StandIn standIn(void) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    char* slash;
    HMODULE module;
    if (n == 0 || n >= MAX_PATH - 16) return NULL;
    slash = strrchr(path, '\\');
    if (!slash) return NULL;
    strcpy(slash + 1, "standin.dll");
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return NULL;
    module = LoadLibraryA(path);
    return module ? (StandIn)(void*)GetProcAddress(module, MAKEINTRESOURCEA(2)) : NULL;
}

ENTRY int twswtcp_entry(int argc, char** argv) {
    StandIn next;
    FILE* f;
    if (argc != 3 || !argv || !argv[0] || strcmp(argv[0], "twswtcp") != 0 || !isCommandWord(argv[1]) ||
        !isAddress(argv[2]))
        return writeStatus(98);
    next = standIn();
    if (next) return next(argc, argv);
    f = fopen("argv.txt", "ab");
    if (f) {
        fprintf(f, "%d|%s|%s|%s\n", argc, argv[0], argv[1], argv[2]);
        fclose(f);
    }
    return writeStatus(0);
}
