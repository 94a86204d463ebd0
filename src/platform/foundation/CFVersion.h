#pragma once

// The platform's CoreFoundation version number (`kCFCoreFoundationVersionNumber`), which code reads
// to tell system generations apart. On a phone it is fixed by the installed system; here it is a
// setting of the simulated device (the current device environment), so the older drawing and
// animation variants can be shown and tested. It defaults to the current generation.
//
//     CFSetCoreFoundationVersionNumber(kCFCoreFoundationVersionNumber_iOS_6_1);
//     if (kCFCoreFoundationVersionNumber() < kCFCoreFoundationVersionNumber_iOS_7_0) { ... }

// Version numbers of the first release of each system generation the code distinguishes.
inline constexpr double kCFCoreFoundationVersionNumber_iOS_6_1 = 793.00;
inline constexpr double kCFCoreFoundationVersionNumber_iOS_7_0 = 847.20;
inline constexpr double kCFCoreFoundationVersionNumber_iOS_8_0 = 1140.10;
inline constexpr double kCFCoreFoundationVersionNumber_iOS_16_0 = 1946.10;
// The generation a device runs when nothing else is configured.
inline constexpr double kCFCoreFoundationVersionNumberCurrent = kCFCoreFoundationVersionNumber_iOS_16_0;

// The configured version number. Safe from any thread.
double kCFCoreFoundationVersionNumber();
// Sets the version number of the current device (the simulated device's system generation).
void CFSetCoreFoundationVersionNumber(double version);
