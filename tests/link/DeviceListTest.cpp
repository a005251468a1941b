#include "link/Usb.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"
#include "tests/link/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class DeviceListTest : public ::testing::Test {
protected:
  void SetUp() override { D2xxDisableAllBackends(); }
  void TearDown() override { D2xxDisableAllBackends(); }

  static std::vector<_usbdevice> List() {
    uint32_t nCount = 99;
    std::vector<_usbdevice> devices(3);
    EXPECT_TRUE(CUSB::ListDevices(nCount, devices));
    EXPECT_EQ(nCount, devices.size());
    return devices;
  }
};

TEST_F(DeviceListTest, NamesFollowTheVendorAndProductNumbers) {
  D2xxEnableBackend(std::make_shared<CScriptedBackend>(std::vector<CScriptedBackend::_device>{
      {"S200", "first", 0x2B7E0200, false},
      {"S201", "second", 0x2B7E0201, false},
      {"S300", "third", 0x2B7E0300, false},
      {"S400", "fourth", 0x2B7E0400, false},
      {"S500", "fifth", 0x2B7E0500, false},
      {"F600", "bridge default", 0x04036001, false},
      {"F200", "other vendor", 0x04030200, false},
  }));
  const auto devices = List();
  ASSERT_EQ(devices.size(), 7U);
  EXPECT_EQ(devices[0].strSerialNumber, "S200");
  EXPECT_EQ(devices[0].strDescription, "first");
  const char *products[] = {"TARVEX", "TARVEX", "MORVANE", "Not Available", "SKELDRUP", "Not Available", "TARVEX"};
  const char *makers[] = {"Vexlor, Inc", "Vexlor, Inc",   "Vexlor, Inc",  "Vexlor, Inc",
                          "Vexlor, Inc", "Not Available", "Not Available"};
  for (size_t i = 0; i < devices.size(); ++i) {
    EXPECT_EQ(devices[i].strProductName, products[i]) << devices[i].strSerialNumber;
    EXPECT_EQ(devices[i].strManufacturer, makers[i]) << devices[i].strSerialNumber;
  }
}

TEST_F(DeviceListTest, FailedQueryLeavesTheNamesEmpty) {
  auto pBackend = std::make_shared<CScriptedBackend>(std::vector<CScriptedBackend::_device>{
      {"Q1", "queried", 0x2B7E0200, true},
      {"Q2", "fine", 0x2B7E0300, false},
  });
  D2xxEnableBackend(pBackend);
  const auto devices = List();
  ASSERT_EQ(devices.size(), 2U);
  EXPECT_EQ(devices[0].strSerialNumber, "Q1");
  EXPECT_EQ(devices[0].strDescription, "queried");
  EXPECT_EQ(devices[0].strProductName, "");
  EXPECT_EQ(devices[0].strManufacturer, "");
  EXPECT_EQ(devices[1].strProductName, "MORVANE");
  // Each device is queried by its serial number, the query's handle closed again.
  EXPECT_EQ(pBackend->Calls(), (std::vector<std::string>{"Query Q1", "Query Q2", "Close"}));
}

TEST_F(DeviceListTest, CountFailureAndNoDevices) {
  uint32_t nCount = 7;
  std::vector<_usbdevice> devices(2);
  EXPECT_TRUE(CUSB::ListDevices(nCount, devices));
  EXPECT_EQ(nCount, 0U);
  EXPECT_TRUE(devices.empty());

  auto pBackend =
      std::make_shared<CScriptedBackend>(std::vector<CScriptedBackend::_device>{{"Q1", "", 0x2B7E0200, false}});
  pBackend->m_bListFails = true;
  D2xxEnableBackend(pBackend);
  devices.resize(2);
  nCount = 7;
  EXPECT_FALSE(CUSB::ListDevices(nCount, devices));
  EXPECT_EQ(nCount, 0U);
  EXPECT_TRUE(devices.empty());
}

TEST_F(DeviceListTest, SimulatedReceiversComeAndGo) {
  auto pFirst = std::make_shared<CSimulatedReceiver>();
  _simidentity second;
  second.strBridgeSerial = "TVX20000";
  second.nProduct = USB_PRODUCT_SKELDRUP;
  auto pSecond = std::make_shared<CSimulatedReceiver>(second);
  auto pBackend = std::make_shared<CD2xxSimBackend>(pFirst);
  pBackend->AddReceiver(pSecond);
  D2xxEnableBackend(pBackend);

  auto devices = List();
  ASSERT_EQ(devices.size(), 2U);
  EXPECT_EQ(devices[0].strSerialNumber, "TVX10417");
  EXPECT_EQ(devices[0].strDescription, "TARVEX Receiver");
  EXPECT_EQ(devices[0].strProductName, "TARVEX");
  EXPECT_EQ(devices[0].strManufacturer, "Vexlor, Inc");
  EXPECT_EQ(devices[1].strProductName, "SKELDRUP");

  pFirst->Unplug();
  devices = List();
  ASSERT_EQ(devices.size(), 1U);
  EXPECT_EQ(devices[0].strSerialNumber, "TVX20000");

  pSecond->Unplug();
  EXPECT_TRUE(List().empty());
  pFirst->Replug();
  devices = List();
  ASSERT_EQ(devices.size(), 1U);
  EXPECT_EQ(devices[0].strSerialNumber, "TVX10417");
  EXPECT_EQ(pFirst->GetSettings().nOpens, pFirst->GetSettings().nCloses) << "every query's handle is closed";

  // While the link holds the unit open, it is listed but cannot be queried.
  CPacketLink link;
  link.StartWorker();
  ASSERT_TRUE(link.Open("TVX10417", 38400));
  devices = List();
  ASSERT_EQ(devices.size(), 1U);
  EXPECT_EQ(devices[0].strSerialNumber, "TVX10417");
  EXPECT_EQ(devices[0].strProductName, "");
}

} // namespace
