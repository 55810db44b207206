#include "usbdevfs_radar.h"

#include <gtest/gtest.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <list>
#include <mutex>
#include <set>
#include <thread>

#include "device/usb_transfer.h"
#include "sim/descriptors.h"

namespace vorn::test {

namespace {
constexpr const char* kSysPath = "/sys/devices/usb1/1-1";
constexpr const char* kDevNode = "/dev/bus/usb/001/002";
constexpr int kDevNum = 2;
constexpr int kSetupBytes = 8;

// A submitted URB: the client's struct and buffer as umockdev copied them in. Bulk URBs run on
// a thread of their own, so a paced or stalled read never holds up umockdev's thread.
struct Urb {
    UMockdevIoctlData* urb = nullptr;
    UMockdevIoctlData* buffer = nullptr;
    std::thread worker;
    TransferCancel cancel;
    bool done = false;
    bool parked = false;  // the device stopped sending: pending until the host discards it
    int status = 0;
    int actual = 0;
    ~Urb() {
        cancel.Cancel();
        if (worker.joinable()) worker.join();
        if (buffer != nullptr) umockdev_ioctl_data_unref(buffer);
        if (urb != nullptr) umockdev_ioctl_data_unref(urb);
    }
};

int UrbStatus(UsbStatus status) {
    switch (status) {
        case UsbStatus::Ok:
            return 0;
        case UsbStatus::Pipe:
            return -EPIPE;
        case UsbStatus::NoDevice:
            return -ESHUTDOWN;
        case UsbStatus::Cancelled:
            return -ENOENT;
        case UsbStatus::Overflow:
            return -EOVERFLOW;
        default:
            return -EPROTO;
    }
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        text += digits;
    }
    return text;
}
}  // namespace

struct UsbdevfsRadar::State {
    UMockdevTestbed* testbed = nullptr;
    UMockdevIoctlBase* handler = nullptr;
    std::mutex mutex;
    std::shared_ptr<sim::SimRadar> radar;
    std::list<std::unique_ptr<Urb>> urbs;
    std::set<unsigned long> unknown;

    bool Plugged() const { return radar && radar->plugged(); }
    void Finish(Urb& u, int status, int actual) {
        u.status = status;
        u.actual = actual;
        u.done = true;
    }
    void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    bool Handle(UMockdevIoctlClient* client);
};

void UsbdevfsRadar::State::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    auto u = std::make_unique<Urb>();
    u->urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(u->urb->data);
    const int length = urb->buffer_length;
    if (length > 0)
        u->buffer = umockdev_ioctl_data_resolve(u->urb, offsetof(usbdevfs_urb, buffer),
                                                static_cast<gsize>(length), nullptr);
    std::uint8_t* data = u->buffer != nullptr ? u->buffer->data : nullptr;
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        if (length < kSetupBytes) return umockdev_ioctl_client_complete(client, -1, EINVAL);
        const auto word = [data](int at) {
            return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
        };
        const std::uint16_t wLength = word(6);
        if (wLength > length - kSetupBytes)
            return umockdev_ioctl_client_complete(client, -1, EINVAL);
        const UsbTransferResult r =
            radar->Control(data[0], data[1], word(2), word(4), data + kSetupBytes, wLength);
        Finish(*u, UrbStatus(r.status), r.transferred);
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK) {
        Urb* raw = u.get();
        u->worker = std::thread([this, raw, endpoint = urb->endpoint, data, length] {
            const UsbTransferResult r = radar->Bulk(endpoint, data, length, 0, &raw->cancel);
            std::lock_guard<std::mutex> lock(mutex);
            if (r.status == UsbStatus::Timeout && !raw->cancel.cancelled()) {
                raw->parked = true;  // no timeouts in the kernel: libusb's own timer ends it
                raw->actual = r.transferred;
            } else {
                Finish(*raw, raw->cancel.cancelled() && Plugged() ? -ENOENT : UrbStatus(r.status),
                       r.transferred);
            }
        });
    } else {
        return umockdev_ioctl_client_complete(client, -1, EINVAL);
    }
    urbs.push_back(std::move(u));
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbdevfsRadar::State::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    for (auto it = urbs.begin(); it != urbs.end(); ++it) {
        Urb& u = **it;
        if (!u.done) continue;
        auto* urb = reinterpret_cast<usbdevfs_urb*>(u.urb->data);
        urb->status = u.status;
        urb->actual_length = u.actual;
        UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
        umockdev_ioctl_data_set_ptr(slot, 0, u.urb);
        umockdev_ioctl_data_unref(slot);
        umockdev_ioctl_client_complete(client, 0, 0);
        // Done is set under the lock as the worker's last step, so it is ending already.
        if (u.worker.joinable()) u.worker.join();
        urbs.erase(it);
        return;
    }
    umockdev_ioctl_client_complete(client, -1, Plugged() ? EAGAIN : ENODEV);
}

void UsbdevfsRadar::State::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const auto address = *reinterpret_cast<const gulong*>(arg->data);
    for (auto& u : urbs) {
        if (u->urb->client_addr != address || u->done) continue;
        u->cancel.Cancel();
        if (u->parked) Finish(*u, -ENOENT, u->actual);
        return umockdev_ioctl_client_complete(client, 0, 0);
    }
    umockdev_ioctl_client_complete(client, -1, EINVAL);
}

bool UsbdevfsRadar::State::Handle(UMockdevIoctlClient* client) {
    std::lock_guard<std::mutex> lock(mutex);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    // As in the kernel, URBs that ended can still be reaped after the device went away.
    if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
        Reap(client, arg);
        return true;
    }
    if (!Plugged()) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return true;
    }
    int result = 0;
    switch (request) {
        case USBDEVFS_SUBMITURB:
            Submit(client, arg);
            return true;
        case USBDEVFS_DISCARDURB:
            Discard(client, arg);
            return true;
        case USBDEVFS_GET_CAPABILITIES: {
            // One URB per transfer, however long: libusb then never splits a read.
            UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
            *reinterpret_cast<guint32*>(caps->data) =
                USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
            umockdev_ioctl_data_unref(caps);
            break;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM:
        case USBDEVFS_CLEAR_HALT:
            break;
        case USBDEVFS_GETDRIVER:  // no kernel driver is bound to the bare FX2
            result = ENODATA;
            break;
        case USBDEVFS_SETINTERFACE: {
            UMockdevIoctlData* d =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_setinterface), nullptr);
            const auto* s = reinterpret_cast<const usbdevfs_setinterface*>(d->data);
            if (radar->SetAltSetting(static_cast<std::uint8_t>(s->interface),
                                     static_cast<std::uint8_t>(s->altsetting)) != UsbStatus::Ok)
                result = EINVAL;
            umockdev_ioctl_data_unref(d);
            break;
        }
        case USBDEVFS_RESET:
            if (radar->ResetPort() != UsbStatus::Ok) result = ENODEV;
            break;
        case USBDEVFS_IOCTL: {
            // libusb re-attaches the kernel driver after releasing the interface, and there is
            // none to attach; disconnecting one reports that none was bound.
            UMockdevIoctlData* d =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr);
            const int code = reinterpret_cast<const usbdevfs_ioctl*>(d->data)->ioctl_code;
            umockdev_ioctl_data_unref(d);
            if (code == static_cast<int>(USBDEVFS_DISCONNECT)) {
                result = ENODATA;
            } else if (code != static_cast<int>(USBDEVFS_CONNECT)) {
                unknown.insert(request);
                result = ENOTTY;
            }
            break;
        }
        case USBDEVFS_CONNECTINFO: {
            UMockdevIoctlData* d =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_connectinfo), nullptr);
            reinterpret_cast<usbdevfs_connectinfo*>(d->data)->devnum = kDevNum;
            reinterpret_cast<usbdevfs_connectinfo*>(d->data)->slow = 0;
            umockdev_ioctl_data_unref(d);
            break;
        }
        default:
            unknown.insert(request);
            result = ENOTTY;
    }
    umockdev_ioctl_client_complete(client, result == 0 ? 0 : -1, result);
    return true;
}

namespace {
gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer state) {
    return static_cast<UsbdevfsRadar::State*>(state)->Handle(client) ? TRUE : FALSE;
}
}  // namespace

bool InMockEnvironment() {
    // Loaded, not merely named in LD_PRELOAD: a missing library is only a loader warning.
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("libumockdev-preload") != std::string::npos) return true;
    return false;
}

UsbdevfsRadar::UsbdevfsRadar() : state_(std::make_unique<State>()) {
    if (!InMockEnvironment()) {
        ADD_FAILURE() << "umockdev is not preloaded: run this test under umockdev-wrapper";
        return;
    }
    state_->testbed = umockdev_testbed_new();
    state_->handler = umockdev_ioctl_base_new();
    g_signal_connect(state_->handler, "handle-ioctl", G_CALLBACK(OnIoctl), state_.get());
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(state_->testbed, kDevNode, state_->handler, &error)) {
        ADD_FAILURE() << "attaching the ioctl handler: " << error->message;
        g_error_free(error);
    }
}

UsbdevfsRadar::~UsbdevfsRadar() {
    if (state_->testbed == nullptr) return;
    if (state_->radar) state_->radar->Unplug();  // wakes workers that still wait
    umockdev_testbed_detach_ioctl(state_->testbed, kDevNode, nullptr);
    std::list<std::unique_ptr<Urb>> urbs;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        urbs.swap(state_->urbs);
    }
    urbs.clear();  // cancels and joins the workers, which take the lock on their way out
    g_object_unref(state_->handler);
    g_object_unref(state_->testbed);
}

void UsbdevfsRadar::Plug(std::shared_ptr<sim::SimRadar> radar) {
    if (state_->testbed == nullptr) return;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->radar = std::move(radar);
    }
    std::vector<std::uint8_t> descriptors = sim::DeviceDescriptor();
    const auto config = sim::ConfigurationDescriptor({});
    descriptors.insert(descriptors.end(), config.begin(), config.end());
    // What libusb reads from sysfs to enumerate without opening the node.
    const std::string entry = std::string("P: ") + (kSysPath + 4) +
                              "\nN: bus/usb/001/002\n"
                              "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n"
                              "E: BUSNUM=001\nE: DEVNUM=002\nE: DEVNAME=" +
                              kDevNode +
                              "\nA: busnum=1\\n\nA: devnum=2\\n\nA: speed=480\\n\n"
                              "A: idVendor=04b4\\n\nA: idProduct=8613\\n\n"
                              "A: bConfigurationValue=1\\n\nA: bNumConfigurations=1\\n\n"
                              "H: descriptors=" +
                              Hex(descriptors) + "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(state_->testbed, entry.c_str(), &error)) {
        ADD_FAILURE() << "adding the radar to the test bed: " << error->message;
        g_error_free(error);
    }
}

void UsbdevfsRadar::Unplug() {
    if (state_->testbed == nullptr || !state_->radar) return;
    state_->radar->Unplug();
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        for (auto& u : state_->urbs)
            if (u->parked && !u->done) state_->Finish(*u, -ESHUTDOWN, u->actual);
    }
    umockdev_testbed_remove_device(state_->testbed, kSysPath);
}

std::string UsbdevfsRadar::UnknownRequests() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::string text;
    char number[24];
    for (unsigned long r : state_->unknown) {
        std::snprintf(number, sizeof number, "0x%lx,", r);
        text += number;
    }
    return text;
}

}  // namespace vorn::test
