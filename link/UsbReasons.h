#pragma once

#include "platform/D2xx.h"

#include <cstdint>
#include <string>
#include <vector>

// Why a command of the link failed, as texts fit for the operator. %1 and %2 stand for the values
// the functions below fill in.

// A command was not passed to the worker.
constexpr const char *USB_WHY_ON_WORKER =
    "a command cannot be sent from the link's worker thread, which alone serves the mailbox; send it from the "
    "thread that takes the packets";
constexpr const char *USB_WHY_MALFORMED = "the command's data is missing or its length is negative";
constexpr const char *USB_WHY_MAILBOX_BUSY = "the link is busy with another command";
constexpr const char *USB_WHY_NO_ANSWER = "the link's worker did not carry the command out in time";
constexpr const char *USB_WHY_SERIAL_TOO_LONG = "no receiver has a serial number that long";
constexpr const char *USB_WHY_NO_WORKER = "the link is not connected: no worker runs";
constexpr const char *USB_WHY_TOO_MANY_QUEUED = "too many commands wait for the link's worker";
constexpr const char *USB_WHY_WORKER_ENDED = "the link's worker ended before it was carried out";
// A queued command that failed: what it was to do, and why.
constexpr const char *USB_WHY_QUEUED_FAILED = "%1 failed: %2";

// What the worker found.
constexpr const char *USB_WHY_NO_DEVICE = "no receiver is open";
constexpr const char *USB_WHY_NOT_FOUND = "no receiver with the serial number \"%1\" is attached";
constexpr const char *USB_WHY_BUSY = "the receiver \"%1\" is in use by another program or connection";
constexpr const char *USB_WHY_NO_PERMISSION =
    "there is no permission to open the receiver \"%1\"; install the receiver's udev rule and plug it in again";
constexpr const char *USB_WHY_NOT_OPENED = "the receiver \"%1\" could not be opened (%2)";
constexpr const char *USB_WHY_SETTINGS_REFUSED = "the receiver \"%1\" refused its port settings (%2)";
constexpr const char *USB_WHY_WRITE_FAILED = "writing to the receiver failed (%1)";
constexpr const char *USB_WHY_LOST =
    "the receiver is gone: %1 failed (%2); it was unplugged or switched off, or its port failed";

// The text with %1 and %2 replaced.
std::string UsbFillReason(const char *pText, const std::string &strFirst, const std::string &strSecond = {});
// A driver status in words: "I/O error", "device not found", ...
std::string UsbStatusText(FT_STATUS status);
// The sentence of a queued command that failed, naming it (the command frame's code, for a write
// of one) and saying why.
std::string UsbQueuedFailure(int32_t nCommand, const std::vector<uint8_t> &data, const std::string &strWhy);
// Why FT_OpenEx failed for this serial number.
std::string UsbOpenFailure(const std::string &strSerialNumber, FT_STATUS status);
