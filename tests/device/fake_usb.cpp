#include "fake_usb.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "device/usb_transfer.h"

using vorn::UsbStatus;
using vorn::UsbTransferResult;

namespace fake {
namespace {

std::uint8_t Lo(unsigned v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}
std::uint8_t Hi(unsigned v) {
    return static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

UsbTransferResult Serve(const Bytes& source, std::uint8_t* data, std::size_t length) {
    const std::size_t n = std::min(length, source.size());
    if (n > 0) std::memcpy(data, source.data(), n);
    return {UsbStatus::Ok, static_cast<int>(n)};
}

class Link : public vorn::UsbDeviceLink {
public:
    explicit Link(std::shared_ptr<Device> device) : d_(std::move(device)) {}
    UsbTransferResult ControlTransfer(std::uint8_t type, std::uint8_t request, std::uint16_t value,
                                      std::uint16_t, std::uint8_t* data, std::uint16_t length,
                                      unsigned timeoutMs) override {
        Record record{type, request, value, length, timeoutMs, {}};
        if ((type & 0x80) == 0 && data != nullptr) record.data.assign(data, data + length);
        d_->controls.push_back(record);
        const UsbStatus fault = d_->controlFault ? d_->controlFault(record) : UsbStatus::Ok;
        if (fault != UsbStatus::Ok) return {fault, 0};
        if (type == 0x80 && request == 0x06) {
            const std::size_t i = value & 0xFF;
            if (value >> 8 == 1) return Serve(d_->deviceDescriptor, data, length);
            if (value >> 8 == 2 && i < d_->configurations.size())
                return Serve(d_->configurations[i], data, length);
            return {UsbStatus::Pipe, 0};
        }
        if (type == 0x81 && request == 0x0A && length >= 1) return Serve({d_->currentAlt}, data, 1);
        if (request == 0xA0 && value == 0xE600 && length == 1) {
            if (type == 0xC0) return Serve({d_->cpucs}, data, 1);
            if (type == 0x40) d_->cpucs = data[0];
        }
        if (type == 0x40 && request == 0xA0) return {UsbStatus::Ok, length};
        return {UsbStatus::Pipe, 0};
    }
    UsbTransferResult BulkTransfer(std::uint8_t endpoint, std::uint8_t* data, int length,
                                   unsigned timeoutMs) override {
        Record record{endpoint, 0, 0, length, timeoutMs, {}};
        if ((endpoint & 0x80) == 0) record.data.assign(data, data + length);
        d_->bulks.push_back(record);
        if (endpoint & 0x80) {
            return {d_->inStatus,
                    Serve(d_->inStream, data, static_cast<std::size_t>(length)).transferred};
        }
        return {d_->outStatus, d_->outAccepted < 0 ? length : std::min(length, d_->outAccepted)};
    }
    std::unique_ptr<vorn::UsbBulkTransfer> SubmitBulkTransfer(std::uint8_t endpoint,
                                                              std::uint8_t* data, int length,
                                                              unsigned timeoutMs) override {
        return std::make_unique<vorn::DeferredBulkTransfer>(
            [=](vorn::TransferCancel&) { return BulkTransfer(endpoint, data, length, timeoutMs); });
    }
    UsbStatus ResetPort() override {
        ++d_->resets;
        return UsbStatus::Ok;
    }
    UsbStatus SetAltSetting(std::uint8_t, std::uint8_t alt) override {
        if (d_->setAltStatus == UsbStatus::Ok) d_->currentAlt = alt;
        return d_->setAltStatus;
    }

private:
    std::shared_ptr<Device> d_;
};

}  // namespace

std::vector<vorn::UsbDeviceInfo> Backend::ListDevices() {
    std::vector<vorn::UsbDeviceInfo> list;
    for (const auto& d : devices) {
        Bytes dd = d->deviceDescriptor;
        vorn::UsbDeviceInfo info;
        if (dd.size() < 12) dd.resize(12);
        info.vendorId = static_cast<std::uint16_t>(dd[8] | (dd[9] << 8));
        info.productId = static_cast<std::uint16_t>(dd[10] | (dd[11] << 8));
        list.push_back(info);
    }
    return list;
}

std::unique_ptr<vorn::UsbDeviceLink> Backend::Open(std::size_t index, UsbStatus& status) {
    status = index >= devices.size()     ? UsbStatus::NotFound
             : index < openStatus.size() ? openStatus[index]
                                         : UsbStatus::Ok;
    return status == UsbStatus::Ok ? std::make_unique<Link>(devices[index]) : nullptr;
}

Bytes DeviceDescriptor(std::uint16_t vendor, std::uint16_t product, std::uint8_t configs) {
    return {18,         1,           0,           2, 0xFF, 0xFF, 0xFF, 64, Lo(vendor),
            Hi(vendor), Lo(product), Hi(product), 1, 0xA0, 0,    0,    0,  configs};
}

Bytes Interface(std::uint8_t alt, std::uint8_t endpoints) {
    return {9, 4, 0, alt, endpoints, 0xFF, 0xFF, 0xFF, 0};
}

Bytes Endpoint(std::uint8_t address, std::uint8_t attributes, std::uint16_t maxPacket) {
    return {7, 5, address, attributes, Lo(maxPacket), Hi(maxPacket), 0};
}

Bytes Configuration(const std::vector<Bytes>& parts) {
    // Sized once and filled by position: GCC 12 at -O2 misreads growing inserts here.
    std::size_t total = 9;
    for (const Bytes& p : parts) total += p.size();
    Bytes config(total);
    const std::uint8_t header[] = {
        9,    2, Lo(static_cast<unsigned>(total)), Hi(static_cast<unsigned>(total)), 1, 1, 0,
        0x80, 50};
    auto out = std::copy(std::begin(header), std::end(header), config.begin());
    for (const Bytes& p : parts) out = std::copy(p.begin(), p.end(), out);
    return config;
}

std::shared_ptr<Device> Fx2Device(std::uint16_t product) {
    auto device = std::make_shared<Device>();
    device->deviceDescriptor = DeviceDescriptor(0x04B4, product);
    std::vector<Bytes> parts{Interface(0, 0), Interface(1, 6)};
    for (std::uint8_t address : {0x01, 0x81, 0x02, 0x04, 0x86, 0x88})
        parts.push_back(Endpoint(address, 2, 512));
    device->configurations.push_back(Configuration(parts));
    return device;
}

std::shared_ptr<Backend> BackendWith(int devices) {
    auto backend = std::make_shared<Backend>();
    for (int i = 0; i < devices; ++i)
        backend->devices.push_back(Fx2Device(static_cast<std::uint16_t>(0x8613 + i)));
    return backend;
}

Bytes Words(const std::vector<std::uint16_t>& words) {
    Bytes bytes;
    for (std::uint16_t w : words) bytes.insert(bytes.end(), {Lo(w), Hi(w)});
    return bytes;
}

}  // namespace fake
