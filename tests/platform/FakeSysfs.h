#pragma once

#include <filesystem>
#include <fstream>
#include <string>

// A sysfs tree of USB serial ports in a temporary folder, laid out as the kernel lays it out.
class CFakeSysfs {
public:
  explicit CFakeSysfs(const std::filesystem::path &root) : m_root(root) {
    std::filesystem::create_directories(m_root / "class" / "tty");
  }

  void AddPort(const std::string &strName, const std::string &strDriver, const std::string &strUsbPath,
               const std::string &strVendor, const std::string &strProduct, const std::string &strSerial,
               const std::string &strDescription) {
    const std::filesystem::path usb = m_root / "devices" / "usb1" / strUsbPath;
    const std::filesystem::path port = usb / (strUsbPath + ":1.0") / strName;
    std::filesystem::create_directories(port);
    Write(usb / "idVendor", strVendor + "\n");
    Write(usb / "idProduct", strProduct + "\n");
    if (!strSerial.empty()) {
      Write(usb / "serial", strSerial + "\n");
    }
    Write(usb / "product", strDescription + "\n");
    const std::filesystem::path driver = m_root / "bus" / "usb-serial" / "drivers" / strDriver;
    std::filesystem::create_directories(driver);
    std::filesystem::create_directory_symlink(driver, port / "driver");
    const std::filesystem::path entry = m_root / "class" / "tty" / strName;
    std::filesystem::create_directories(entry);
    std::filesystem::create_directory_symlink(port, entry / "device");
  }

  void AddPlainTty(const std::string &strName) {
    std::filesystem::create_directories(m_root / "class" / "tty" / strName);
  }

private:
  static void Write(const std::filesystem::path &path, const std::string &text) { std::ofstream(path) << text; }
  std::filesystem::path m_root;
};
