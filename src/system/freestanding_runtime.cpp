// The few helpers the compiler may call, since the exe links no C runtime.
#include <stddef.h>
#include <windows.h>

extern "C" {

void* memset(void* to, int value, size_t count) {
    unsigned char* p = static_cast<unsigned char*>(to);
    while (count-- != 0) *p++ = static_cast<unsigned char>(value);
    return to;
}

void* memcpy(void* to, const void* from, size_t count) {
    unsigned char* d = static_cast<unsigned char*>(to);
    const unsigned char* s = static_cast<const unsigned char*>(from);
    while (count-- != 0) *d++ = *s++;
    return to;
}

void* memmove(void* to, const void* from, size_t count) {
    unsigned char* d = static_cast<unsigned char*>(to);
    const unsigned char* s = static_cast<const unsigned char*>(from);
    if (d < s) {
        while (count-- != 0) *d++ = *s++;
    } else {
        while (count-- != 0) d[count] = s[count];
    }
    return to;
}

// A pure virtual call cannot happen here; the vtables still name it. Should
// it ever, the process still ends with its one exit code.
void __cxa_pure_virtual() {
    ExitProcess(0);
}
}
