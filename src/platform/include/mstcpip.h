// Stand-in for <mstcpip.h> in the native build: the TCP settings that the
// plug-in asks Windows for through WSAIoctl, with Windows' own values.
#pragma once

#include <winsock2.h>

// _WSAIOW(IOC_VENDOR, 17): the SYN retransmissions of a connection attempt.
#define SIO_TCP_INITIAL_RTO 0x98000011u

#define TCP_INITIAL_RTO_UNSPECIFIED_RTT ((USHORT)-1)
#define TCP_INITIAL_RTO_UNSPECIFIED_MAX_SYN_RETRANSMISSIONS ((UCHAR)-1)
#define TCP_INITIAL_RTO_DEFAULT_RTT (0)
#define TCP_INITIAL_RTO_DEFAULT_MAX_SYN_RETRANSMISSIONS (0)
#define TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS ((UCHAR)-2)

typedef struct _TCP_INITIAL_RTO_PARAMETERS {
  USHORT Rtt;
  UCHAR MaxSynRetransmissions;
} TCP_INITIAL_RTO_PARAMETERS, *PTCP_INITIAL_RTO_PARAMETERS;
