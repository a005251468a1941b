#include "platform/D2xxRegistry.h"
#include "platform/D2xx.h"
#include "platform/Event.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// A backend of plain devices that count how they are used.
class CCountingBackend : public CD2xxBackend {
public:
  CCountingBackend(std::string strName, std::vector<_d2xxdeviceinfo> devices)
      : m_strName(std::move(strName)), m_devices(std::move(devices)) {}

  std::string GetName() const override { return m_strName; }
  bool ListDevices(std::vector<_d2xxdeviceinfo> &devices) override {
    devices.insert(devices.end(), m_devices.begin(), m_devices.end());
    return !m_bListFails;
  }
  FT_STATUS Open(const std::string &strSerialNumber, bool bInfoOnly, std::unique_ptr<CD2xxDevice> &device) override {
    for (const auto &info : m_devices) {
      if (info.strSerialNumber == strSerialNumber) {
        ++(bInfoOnly ? m_nInfoOpens : m_nOpens);
        device = std::make_unique<CDevice>(*this, info);
        return FT_OK;
      }
    }
    return FT_DEVICE_NOT_FOUND;
  }

  bool m_bListFails = false;
  int m_nOpens = 0;
  int m_nInfoOpens = 0;
  int m_nCloses = 0;

private:
  class CDevice : public CD2xxInfoDevice {
  public:
    CDevice(CCountingBackend &backend, const _d2xxdeviceinfo &info) : CD2xxInfoDevice(info), m_backend(backend) {}
    FT_STATUS Read(void *pBuffer, uint32_t nToRead, uint32_t &nRead) override {
      nRead = std::min<uint32_t>(nToRead, 3);
      std::memcpy(pBuffer, "xyz", nRead);
      return FT_OK;
    }
    FT_STATUS Close() override {
      ++m_backend.m_nCloses;
      return FT_OK;
    }

  private:
    CCountingBackend &m_backend;
  };

  std::string m_strName;
  std::vector<_d2xxdeviceinfo> m_devices;
};

class D2xxRegistryTest : public ::testing::Test {
protected:
  void SetUp() override {
    D2xxDisableAllBackends();
    m_pFirst = std::make_shared<CCountingBackend>(
        "first", std::vector<_d2xxdeviceinfo>{{"A1", "Unit A", 0x2B7E0200, FT_DEVICE_UNKNOWN},
                                              {"A2", "Unit B", 0x04036001, FT_DEVICE_UNKNOWN}});
    m_pSecond = std::make_shared<CCountingBackend>(
        "second", std::vector<_d2xxdeviceinfo>{{"B1", std::string(63, 'd'), 0x2B7E0300, FT_DEVICE_UNKNOWN}});
    D2xxEnableBackend(m_pFirst);
    D2xxEnableBackend(m_pSecond);
  }
  void TearDown() override {
    D2xxSetReadTap(nullptr);
    D2xxDisableAllBackends();
  }

  static std::string ListText(uint32_t nIndex, uint32_t nWhat) {
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    const FT_STATUS status =
        FT_ListDevices(reinterpret_cast<void *>(static_cast<uintptr_t>(nIndex)), buffer, FT_LIST_BY_INDEX | nWhat);
    return status == FT_OK ? std::string(buffer) : "<" + std::to_string(status) + ">";
  }

  std::shared_ptr<CCountingBackend> m_pFirst;
  std::shared_ptr<CCountingBackend> m_pSecond;
};

TEST_F(D2xxRegistryTest, ListingCoversEveryEnabledBackendInOrder) {
  uint32_t nCount = 0;
  ASSERT_EQ(FT_ListDevices(&nCount, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(nCount, 3U);
  EXPECT_EQ(ListText(0, FT_OPEN_BY_SERIAL_NUMBER), "A1");
  EXPECT_EQ(ListText(1, FT_OPEN_BY_DESCRIPTION), "Unit B");
  EXPECT_EQ(ListText(2, FT_OPEN_BY_SERIAL_NUMBER), "B1");
  EXPECT_EQ(ListText(2, FT_OPEN_BY_DESCRIPTION), std::string(63, 'd'));
  EXPECT_EQ(ListText(3, FT_OPEN_BY_SERIAL_NUMBER), "<" + std::to_string(FT_DEVICE_NOT_FOUND) + ">");

  D2xxDisableBackend("first");
  EXPECT_EQ(D2xxEnabledBackends(), std::vector<std::string>{"second"});
  ASSERT_EQ(FT_ListDevices(&nCount, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(nCount, 1U);
  EXPECT_EQ(ListText(0, FT_OPEN_BY_SERIAL_NUMBER), "B1");
}

TEST_F(D2xxRegistryTest, EnablingUnderAKnownNameReplacesInPlace) {
  D2xxEnableBackend(std::make_shared<CCountingBackend>(
      "first", std::vector<_d2xxdeviceinfo>{{"C1", "Unit C", 0, FT_DEVICE_UNKNOWN}}));
  EXPECT_EQ(D2xxEnabledBackends(), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(ListText(0, FT_OPEN_BY_SERIAL_NUMBER), "C1");
  EXPECT_EQ(ListText(1, FT_OPEN_BY_SERIAL_NUMBER), "B1");
}

TEST_F(D2xxRegistryTest, CountFailsWhenABackendCannotTell) {
  m_pSecond->m_bListFails = true;
  uint32_t nCount = 99;
  EXPECT_NE(FT_ListDevices(&nCount, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_NE(FT_ListDevices(nullptr, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
}

TEST_F(D2xxRegistryTest, HandlesAreCheckedAndClosedOnce) {
  FT_HANDLE hDevice = nullptr;
  ASSERT_EQ(FT_OpenEx("B1", FT_OPEN_BY_SERIAL_NUMBER, &hDevice), FT_OK);
  EXPECT_EQ(m_pSecond->m_nOpens, 1);
  EXPECT_EQ(FT_Close(hDevice), FT_OK);
  EXPECT_EQ(FT_Close(hDevice), FT_INVALID_HANDLE);
  EXPECT_EQ(m_pSecond->m_nCloses, 1);

  // A closed handle is never given out again, so it cannot reach a later device.
  FT_HANDLE hNext = nullptr;
  ASSERT_EQ(FT_OpenEx("Unit A", FT_OPEN_BY_DESCRIPTION, &hNext), FT_OK);
  EXPECT_NE(hNext, hDevice);
  EXPECT_EQ(m_pFirst->m_nOpens, 1);
  uint32_t nRx = 0;
  uint32_t nTx = 0;
  uint32_t nEvents = 0;
  EXPECT_EQ(FT_GetStatus(hDevice, &nRx, &nTx, &nEvents), FT_INVALID_HANDLE);
  EXPECT_EQ(FT_SetDivisor(reinterpret_cast<FT_HANDLE>(0x1234), 78), FT_INVALID_HANDLE);
  EXPECT_EQ(FT_Close(nullptr), FT_INVALID_HANDLE);
  EXPECT_EQ(FT_Close(hNext), FT_OK);

  EXPECT_EQ(FT_OpenEx("nobody", FT_OPEN_BY_SERIAL_NUMBER, &hDevice), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(hDevice, nullptr);
  EXPECT_EQ(FT_OpenEx("B1", 0x99, &hDevice), FT_INVALID_PARAMETER);
}

TEST_F(D2xxRegistryTest, HandleOutlivesItsBackendBeingDisabled) {
  FT_HANDLE hDevice = nullptr;
  ASSERT_EQ(FT_OpenEx("A1", FT_OPEN_BY_SERIAL_NUMBER, &hDevice), FT_OK);
  D2xxDisableAllBackends();
  uint8_t buffer[8];
  uint32_t nRead = 0;
  EXPECT_EQ(FT_Read(hDevice, buffer, 8, &nRead), FT_OK);
  EXPECT_EQ(nRead, 3U);
  EXPECT_EQ(FT_Close(hDevice), FT_OK);
  EXPECT_EQ(m_pFirst->m_nCloses, 1);
}

TEST_F(D2xxRegistryTest, IdentityQueryThroughCreateFile) {
  const uint32_t nFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED | FT_OPEN_BY_SERIAL_NUMBER;
  EXPECT_EQ(nFlags, 0x40000081U);
  FT_HANDLE hDevice = FT_W32_CreateFile("B1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, nFlags, nullptr);
  ASSERT_NE(hDevice, FT_INVALID_HANDLE_VALUE);
  EXPECT_EQ(m_pSecond->m_nInfoOpens, 1);
  FT_DEVICE nType = 99;
  uint32_t nId = 0;
  char serial[FT_SERIAL_NUMBER_SIZE];
  char description[FT_DESCRIPTION_SIZE];
  ASSERT_EQ(FT_GetDeviceInfo(hDevice, &nType, &nId, serial, description, nullptr), FT_OK);
  EXPECT_EQ(nId, 0x2B7E0300U);
  EXPECT_EQ(nType, FT_DEVICE_UNKNOWN);
  EXPECT_STREQ(serial, "B1");
  EXPECT_EQ(std::string(description), std::string(63, 'd'));
  EXPECT_EQ(FT_Close(hDevice), FT_OK);

  // A device that is not there: the invalid handle, which every later call refuses.
  hDevice = FT_W32_CreateFile("gone", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, nFlags, nullptr);
  EXPECT_EQ(hDevice, FT_INVALID_HANDLE_VALUE);
  EXPECT_EQ(FT_GetDeviceInfo(hDevice, &nType, &nId, serial, description, nullptr), FT_INVALID_HANDLE);
  EXPECT_EQ(FT_Close(hDevice), FT_INVALID_HANDLE);
}

TEST_F(D2xxRegistryTest, ReadTapSeesWhatIsRead) {
  std::string strSeen;
  D2xxSetReadTap([&](const uint8_t *pData, uint32_t nCount) { strSeen.append(pData, pData + nCount); });
  FT_HANDLE hDevice = nullptr;
  ASSERT_EQ(FT_OpenEx("A2", FT_OPEN_BY_SERIAL_NUMBER, &hDevice), FT_OK);
  uint8_t buffer[2];
  uint32_t nRead = 0;
  ASSERT_EQ(FT_Read(hDevice, buffer, 2, &nRead), FT_OK);
  ASSERT_EQ(FT_Read(hDevice, buffer, 2, &nRead), FT_OK);
  EXPECT_EQ(strSeen, "xyxy");
  D2xxSetReadTap(nullptr);
  ASSERT_EQ(FT_Read(hDevice, buffer, 2, &nRead), FT_OK);
  EXPECT_EQ(strSeen, "xyxy");
  FT_Close(hDevice);
}

} // namespace
