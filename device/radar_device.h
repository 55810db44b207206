#pragma once
// The radar connection: discovery, the streaming interface, the parameter block on EP2 OUT, the
// sample stream on EP6 IN and the firmware download into the FX2 controller.
#include <complex>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/cy_device.h"
#include "device/sample_frames.h"
#include "device/usb_backend.h"

struct RadarDeviceEntry {
    int vendorId = 0;
    int productId = 0;
    int configCount = 0;
    int endPointCount = 0;
    int interfaceCount = 0;
    int altSettingCount = 0;
    std::string location;  // bus and port, for messages
};

// Why the last operation of the radar connection failed. The device layer reports failure
// through results only; the window decides how to show and log this.
struct UsbFailure {
    std::string operation;  // what was asked: "bulk IN endpoint 0x86", "open", ...
    // Ok when the transfer worked but what came back did not (too few frames, say).
    vorn::UsbStatus status = vorn::UsbStatus::Ok;
    std::string backendError;  // the back end's own name of the error, when it has one
    std::string detail;        // bytes or frames moved against those asked for, or what was found
    std::string location;      // bus and port of the device
};

// One line: "<operation> at <location>: <status> [<back-end error>]; <detail>".
std::string DescribeUsbFailure(const UsbFailure& failure);

class RadarDevice {
public:
    explicit RadarDevice(std::shared_ptr<vorn::UsbBackend> backend);
    RadarDevice(const RadarDevice&) = delete;
    RadarDevice& operator=(const RadarDevice&) = delete;

    // Replaces the device object and lists the radars; the last enumerated device stays open.
    int RefreshDevices();
    const std::vector<RadarDeviceEntry>& DeviceList() const { return entries_; }
    // Enumeration index of a list entry; -1 when there is no such entry.
    int DeviceIndexOf(int entry) const;
    // Opens the device behind a list entry, making it the one all later operations use.
    bool OpenEntry(int entry);
    // Radars the last refresh saw but could not open for lack of permission.
    int InaccessibleCount() const { return inaccessible_; }
    CCyDevice* Device() { return device_.get(); }
    // The first failure of the last operation (refresh, open, interface selection, endpoint
    // search, block write, read, firmware download); empty when that operation worked.
    const std::optional<UsbFailure>& LastFailure() const { return lastFailure_; }

    // Port reset, then alternate setting 1; 1 when the device then reports setting 1.
    int SelectStreamingInterface();
    // Index in EndPoints of the endpoint with that address, from 1 up; 0 when there is none.
    int FindEndPoint(std::uint8_t address);
    // Bulk write on the endpoint at outEndPointIndex; the bytes written, also after a failure.
    int WriteBlock(const std::uint8_t* data, int length);
    // Read n frames from the endpoint at inEndPointIndex and unpack one or both channels. Return
    // the samples delivered; on a failed transfer 0, with samples left as they were.
    int ReadChannel1(std::vector<std::complex<double>>& samples, int n, int timeoutMs);
    int ReadChannel2(std::vector<std::complex<double>>& samples, int n, int timeoutMs);
    int ReadBothChannels(std::vector<std::complex<double>>& samples, int n, int timeoutMs);
    // Calls off the bulk transfers in flight (their reads and writes report failure) and refuses
    // new ones until ClearAbort(). Safe from another thread than the one transferring, as long
    // as nobody refreshes or opens the device meanwhile.
    void AbortTransfers();
    void ClearAbort();

    // CPUCS read, hold, every record, release. Returns the records written; 0 when the CPUCS
    // read, the hold or the release failed, since nothing of the download then runs.
    int DownloadFirmware(std::vector<std::vector<std::uint8_t>> records);

    static std::uint16_t ComposeParameterWord(int sweepTimeCode, int bandwidthCode, int samplesCode,
                                              int modeCode);
    // Writes the parameter block of `word`; the bytes taken.
    int WriteParameterBlock(std::uint16_t word);
    // The word in little-endian copies, the block the radar expects before every burst.
    static std::vector<std::uint8_t> BuildParameterBlock(std::uint16_t word);

    int interfaceSelected = 0;
    int outEndPointIndex = 0;
    int inEndPointIndex = 0;

private:
    int Read(std::vector<std::complex<double>>& samples, int n, int timeoutMs,
             vorn::FrameChannels channels);
    CCyUSBEndPoint* EndPointAt(int index);
    // Keeps the first failure of an operation, with the device's location and the back end's
    // name of the error.
    void NoteFailure(std::string operation, vorn::UsbStatus status, std::string detail = {});

    std::shared_ptr<vorn::UsbBackend> backend_;
    std::vector<RadarDeviceEntry> entries_;
    std::vector<int> entryDeviceIndex_;
    int inaccessible_ = 0;
    int openedEntry_ = -1;
    std::optional<UsbFailure> lastFailure_;
    std::unique_ptr<CCyDevice> device_;
    std::unique_ptr<std::uint8_t[]> readBuffer_;  // reused across reads
    std::size_t readCapacity_ = 0;
};
