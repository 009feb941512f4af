// Placeholder until the save handlers land.
#include "host/SaveNotifications.h"

int32_t __cdecl onSaveStart(HostFilterDescriptor*, int32_t, int32_t, void*) { return 1; }
int32_t __cdecl onSaveEnd(HostFilterDescriptor*, void*) { return 1; }
