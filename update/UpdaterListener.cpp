#include "update/UpdaterListener.h"

UScannerListener::~UScannerListener() = default;
