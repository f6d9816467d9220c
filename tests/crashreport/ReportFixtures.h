// A fake machine for the report tests: a sysfs tree as a kernel builds it (class entries are links
// into /sys/devices), with pci.ids and usb.ids beside it; handmade.
#pragma once

#include "CrashTestSupport.h"

#include <filesystem>
#include <string>

// A sysfs tree as a kernel builds it: class entries are links into /sys/devices.
inline void MakeFakeSysfs(const std::string& root)
{
    namespace fs = std::filesystem;
    const std::string sys = root + "/sys";
    const std::string pci = sys + "/devices/pci0000:00/0000:00:03.0";
    const std::string usb = sys + "/devices/pci0000:00/0000:00:06.0/usb1/1-1";
    const std::string sata = sys + "/devices/pci0000:00/0000:00:0d.0/ata1/host0/target0:0:0/0:0:0:0";
    for (const std::string& folder : { pci + "/net/eth0", usb + "/1-1:1.0/0003:046D:C52B.0001/input/input5",
             sata + "/block/sda", sys + "/devices/virtual/net/lo", sys + "/bus/pci/drivers/e1000",
             sys + "/bus/usb/drivers/usbhid", sys + "/bus/scsi/drivers/sd", sys + "/module/e1000",
             sys + "/module/usbhid", sys + "/class/net", sys + "/class/input", sys + "/class/block",
             sys + "/devices/pci0000:00/0000:00:07.0/sound/card0", sys + "/class/Sound" })
        fs::create_directories(folder);
    WriteTestFile(pci + "/vendor", "0x8086\n");
    WriteTestFile(pci + "/device", "0x100e\n");
    fs::create_directory_symlink("../../../bus/pci", pci + "/subsystem");
    fs::create_directory_symlink("../../../bus/pci/drivers/e1000", pci + "/driver");
    fs::create_directory_symlink("../../../../module/e1000", sys + "/bus/pci/drivers/e1000/module");
    WriteTestFile(sys + "/module/e1000/version", "7.3.21-k8-NAPI\n");
    fs::create_directory_symlink("../../../0000:00:03.0", pci + "/net/eth0/device");
    fs::create_directory_symlink("../../devices/pci0000:00/0000:00:03.0/net/eth0", sys + "/class/net/eth0");
    fs::create_directory_symlink("../../devices/virtual/net/lo", sys + "/class/net/lo");
    // USB: the interface carries the driver, its parent the ids; usbhid has no version.
    WriteTestFile(usb + "/idVendor", "046d\n");
    WriteTestFile(usb + "/idProduct", "c52b\n");
    const std::string interface = usb + "/1-1:1.0";
    fs::create_directory_symlink("../../../../../bus/usb", interface + "/subsystem");
    fs::create_directory_symlink("../../../../../bus/usb/drivers/usbhid", interface + "/driver");
    fs::create_directory_symlink("../../../../module/usbhid", sys + "/bus/usb/drivers/usbhid/module");
    fs::create_directory_symlink("../../../../1-1:1.0", interface + "/0003:046D:C52B.0001/input/input5/device");
    fs::create_directory_symlink(
        "../../devices/pci0000:00/0000:00:06.0/usb1/1-1/1-1:1.0/0003:046D:C52B.0001/input/input5",
        sys + "/class/input/input5");
    WriteTestFile(interface + "/0003:046D:C52B.0001/input/input5/name", "Logitech USB Receiver\n");
    // A disk: named by its model.
    WriteTestFile(sata + "/model", "VBOX HARDDISK   \n");
    fs::create_directory_symlink("../..", sata + "/block/sda/device");
    fs::create_directory_symlink(
        "../../devices/pci0000:00/0000:00:0d.0/ata1/host0/target0:0:0/0:0:0:0/block/sda", sys + "/class/block/sda");
    // A PCI device missing from the list: its ids.
    const std::string sound = sys + "/devices/pci0000:00/0000:00:07.0";
    WriteTestFile(sound + "/vendor", "0x1234\n");
    WriteTestFile(sound + "/device", "0xabcd\n");
    fs::create_directory_symlink("../../../bus/pci", sound + "/subsystem");
    fs::create_directory_symlink("../../../0000:00:07.0", sound + "/sound/card0/device");
    fs::create_directory_symlink("../../devices/pci0000:00/0000:00:07.0/sound/card0", sys + "/class/Sound/card0");
    WriteTestFile(root + "/pci.ids",
        "# comment\n8086  Intel Corporation\n\t1000  82542 Gigabit Ethernet Controller (Fiber)\n"
        "\t100e  82540EM Gigabit Ethernet Controller\n\t\t8086 001e  PRO/1000 MT Desktop Adapter\n"
        "8087  Intel Corp.\n");
    WriteTestFile(root + "/usb.ids", "046d  Logitech, Inc.\n\tc52b  Unifying Receiver\n");
}

// The hardware section MakeFakeSysfs gives with both id lists.
inline const char* FakeHardwareSection()
{
    return "hardware:\r\n+ block\r\n  - VBOX HARDDISK [sda]\r\n+ input\r\n  - Logitech, Inc. Unifying Receiver "
           "[input5]\r\n+ net\r\n"
           "  - Intel Corporation 82540EM Gigabit Ethernet Controller [eth0] (driver e1000 7.3.21-k8-NAPI)\r\n+ "
           "Sound\r\n"
           "  - PCI 1234:abcd [card0]";
}
