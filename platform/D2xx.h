#pragma once

#include <cstdint>

class CEvent;

// The device layer of the receiver link: the calls of a USB serial bridge driver library, with
// the arguments and results the link and the device listing use. Each call goes to the backend
// that lists the device (see D2xxRegistry.h): the simulated receiver, the kernel's serial driver
// or a recorded session.
//
// Handles are numbers handed out by this layer and never reused, so a stale or made-up handle
// is refused with FT_INVALID_HANDLE instead of reaching a device.

struct _fthandle;
using FT_HANDLE = _fthandle *;
using FT_STATUS = uint32_t;
using FT_DEVICE = uint32_t;

constexpr FT_STATUS FT_OK = 0;
constexpr FT_STATUS FT_INVALID_HANDLE = 1;
constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
constexpr FT_STATUS FT_IO_ERROR = 4;
constexpr FT_STATUS FT_INVALID_PARAMETER = 5;
constexpr FT_STATUS FT_NOT_SUPPORTED = 6;
// This layer's own: the device exists, but its port's permissions keep the user out.
constexpr FT_STATUS FT_ACCESS_DENIED = 7;

// How FT_OpenEx, FT_W32_CreateFile and FT_ListDevices name a device.
constexpr uint32_t FT_OPEN_BY_SERIAL_NUMBER = 1;
constexpr uint32_t FT_OPEN_BY_DESCRIPTION = 2;
constexpr uint32_t FT_LIST_NUMBER_ONLY = 0x80000000;
constexpr uint32_t FT_LIST_BY_INDEX = 0x40000000;

constexpr uint32_t FT_EVENT_RXCHAR = 1;

constexpr uint8_t FT_BITS_8 = 8;
constexpr uint8_t FT_STOP_BITS_1 = 0;
constexpr uint8_t FT_PARITY_NONE = 0;
constexpr uint16_t FT_FLOW_NONE = 0;

constexpr FT_DEVICE FT_DEVICE_UNKNOWN = 0;

// Longest texts, terminating zero included: FT_ListDevices writes at most FT_DESCRIPTION_SIZE
// bytes, FT_GetDeviceInfo at most FT_SERIAL_NUMBER_SIZE and FT_DESCRIPTION_SIZE.
constexpr uint32_t FT_SERIAL_NUMBER_SIZE = 16;
constexpr uint32_t FT_DESCRIPTION_SIZE = 64;

// Arguments of FT_W32_CreateFile.
constexpr uint32_t GENERIC_READ = 0x80000000;
constexpr uint32_t GENERIC_WRITE = 0x40000000;
constexpr uint32_t OPEN_EXISTING = 3;
constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr uint32_t FILE_FLAG_OVERLAPPED = 0x40000000;

// What FT_W32_CreateFile returns when the device cannot be opened.
inline const FT_HANDLE FT_INVALID_HANDLE_VALUE = reinterpret_cast<FT_HANDLE>(UINTPTR_MAX);

// Opens a device for I/O. pArg is the serial number text (FT_OPEN_BY_SERIAL_NUMBER) or the
// description text (FT_OPEN_BY_DESCRIPTION). A device is open at most once at a time. Fails with
// FT_DEVICE_NOT_FOUND when no such device is attached, FT_DEVICE_NOT_OPENED when it is in use,
// FT_ACCESS_DENIED when the user may not open it.
FT_STATUS FT_OpenEx(const void *pArg, uint32_t nFlags, FT_HANDLE *pHandle);
// The baud rate becomes 3000000 / nDivisor.
FT_STATUS FT_SetDivisor(FT_HANDLE hDevice, uint16_t nDivisor);
FT_STATUS FT_SetDataCharacteristics(FT_HANDLE hDevice, uint8_t nWordLength, uint8_t nStopBits, uint8_t nParity);
FT_STATUS FT_SetFlowControl(FT_HANDLE hDevice, uint16_t nFlowControl, uint8_t nXon, uint8_t nXoff);
FT_STATUS FT_SetTimeouts(FT_HANDLE hDevice, uint32_t nReadTimeoutMs, uint32_t nWriteTimeoutMs);
// With FT_EVENT_RXCHAR in nMask the device sets pEvent every time characters arrive; a mask of 0
// stops the notifications. The event must outlive the notification.
FT_STATUS FT_SetEventNotification(FT_HANDLE hDevice, uint32_t nMask, CEvent *pEvent);
FT_STATUS FT_GetStatus(FT_HANDLE hDevice, uint32_t *pRxQueue, uint32_t *pTxQueue, uint32_t *pEventStatus);
// Reads up to nToRead bytes, waiting at most the read time-out for them.
FT_STATUS FT_Read(FT_HANDLE hDevice, void *pBuffer, uint32_t nToRead, uint32_t *pRead);
// Writes nToWrite bytes. A write that cannot be completed within the write time-out fails.
FT_STATUS FT_Write(FT_HANDLE hDevice, const void *pBuffer, uint32_t nToWrite, uint32_t *pWritten);
// Closes the handle. A second close of the same handle returns FT_INVALID_HANDLE.
FT_STATUS FT_Close(FT_HANDLE hDevice);

// FT_LIST_NUMBER_ONLY: pArg1 is a uint32_t* that receives the number of attached devices.
// FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER or FT_OPEN_BY_DESCRIPTION: pArg1 is the device
// index (cast to a pointer) and pArg2 a buffer of at least FT_DESCRIPTION_SIZE bytes that
// receives the text.
FT_STATUS FT_ListDevices(void *pArg1, void *pArg2, uint32_t nFlags);
// Opens a device for its identity. With FT_OPEN_BY_SERIAL_NUMBER in nFlagsAndAttributes,
// pName is the serial number. Returns FT_INVALID_HANDLE_VALUE when the device cannot be opened.
FT_HANDLE FT_W32_CreateFile(const char *pName, uint32_t nAccess, uint32_t nShareMode, void *pSecurityAttributes,
                            uint32_t nCreate, uint32_t nFlagsAndAttributes, FT_HANDLE hTemplate);
// Device id: USB vendor number << 16 | product number. pSerialNumber receives at most
// FT_SERIAL_NUMBER_SIZE bytes and pDescription at most FT_DESCRIPTION_SIZE; either may be null.
FT_STATUS FT_GetDeviceInfo(FT_HANDLE hDevice, FT_DEVICE *pType, uint32_t *pDeviceId, char *pSerialNumber,
                           char *pDescription, void *pReserved);
