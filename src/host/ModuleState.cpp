#include "host/ModuleState.h"

#include "sstp/SstpNotifier.h"

JobRecord jobRecord;
int32_t saveStartTime;
int32_t saveStartFrame;
const char* ghostName = "";
int32_t serverPort = kSstpDefaultPort;
