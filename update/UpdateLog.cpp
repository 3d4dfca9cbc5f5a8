#include "update/UpdateLog.h"

#include "support/XLog2.h"

#include <cstdarg>
#include <cstdio>

void updateLog(const char* fmt, ...) {
    char text[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    xlog()->write(updateLogCategory, text);
}
