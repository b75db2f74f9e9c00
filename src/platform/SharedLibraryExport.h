#pragma once
// DR_SHARED_EXPORT marks a function that a shared library we build exports by name (the others
// stay hidden), for CSharedLibrary::Symbol to find.

#ifdef _WIN32
#define DR_SHARED_EXPORT __declspec(dllexport)
#else
#define DR_SHARED_EXPORT __attribute__((visibility("default")))
#endif
