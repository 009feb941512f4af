#include "host/HostInterface.h"
extern "C" __declspec(dllexport) HostFilterDescriptor* WINAPI GetFilterTable(void) { return nullptr; }
