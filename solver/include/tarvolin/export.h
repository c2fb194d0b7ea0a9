/* Tarvolin cutting optimizer: how the solver library marks its exported
 * calls. */
#ifndef TARVOLIN_EXPORT_H
#define TARVOLIN_EXPORT_H

#if defined(_WIN32)
#define TARVOLIN_API __declspec(dllexport)
#else
#define TARVOLIN_API __attribute__((visibility("default")))
#endif

#endif
