// Shared pieces of sstp-bench: the clock, medians, the bare exchange that
// every delivery is measured against, and the figures' output.
#pragma once

#include <winsock2.h>

#include <stdint.h>

#include <chrono>
#include <string>
#include <vector>

typedef std::chrono::steady_clock Clock;

// Runs of one kind timed in a row before switching to the other kind, so
// that both kinds see the same machine load.
constexpr long kBlock = 50;

double microsecondsSince(Clock::time_point start);

// The median; 0 for no values.
double median(std::vector<double> values);

// One exchange with plain socket calls: connect, send the request, read the
// answer once, close. The least any delivery costs. Returns false when it
// failed.
bool bareExchange(const struct sockaddr_in& address, const std::string& request);

// Prints "name: value" on a line of its own, the value with `decimals`
// decimals.
void printFigure(const std::string& name, double value, int decimals);

// Times each platform call a save-start notice makes by itself (profile
// reads of `templatePath`, bare and as the plug-in makes them, the Winsock
// calls of a delivery, the clock).
// Prints "call median LABEL NAME us" for each.
void benchCalls(const char* label, const std::string& templatePath, long iterations);
