#include "device/libusb_backend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using vorn::UsbStatus;

// A scripted libusb: devices are addresses of entries in `devices`, handles likewise.
struct FakeLibusb {
    struct Dev {
        std::uint16_t vendor;
        std::uint16_t product;
        int openResult = 0;
    };
    int initResult = 0;
    ssize_t listResult = 0;  // 0: list all devices
    std::vector<Dev> devices;
    int claimResult = 0, controlResult = 0, bulkResult = 0, bulkTransferred = 0, altResult = 0;
    std::vector<std::string> calls;
    int liveLists = 0, liveHandles = 0, liveContexts = 0;  // must all be back to 0 at the end
    int liveTransfers = 0;
    // The submitted transfer completes in the next event handling: with the bulk results above,
    // or as cancelled when it was cancelled first.
    libusb_transfer* submitted = nullptr;
    bool cancelled = false;
};

FakeLibusb* g = nullptr;
int g_context = 0;

libusb_device* AsDevice(std::size_t i) {
    return reinterpret_cast<libusb_device*>(&g->devices[i]);
}
std::size_t IndexOf(libusb_device* d) {
    return static_cast<std::size_t>(reinterpret_cast<FakeLibusb::Dev*>(d) - g->devices.data());
}

const vorn::LibusbApi kFakeApi{
    [](libusb_context** c) {
        if (g->initResult != 0) return g->initResult;
        *c = reinterpret_cast<libusb_context*>(&g_context);
        ++g->liveContexts;
        return 0;
    },
    [](libusb_context*) { --g->liveContexts; },
    [](libusb_context*, libusb_device*** list) -> ssize_t {
        if (g->listResult < 0) return g->listResult;
        auto* l = new libusb_device*[g->devices.size() + 1];
        for (std::size_t i = 0; i < g->devices.size(); ++i) l[i] = AsDevice(i);
        l[g->devices.size()] = nullptr;
        *list = l;
        ++g->liveLists;
        return static_cast<ssize_t>(g->devices.size());
    },
    [](libusb_device** list, int) {
        delete[] list;
        --g->liveLists;
    },
    [](libusb_device* d, libusb_device_descriptor* desc) {
        *desc = libusb_device_descriptor{};
        desc->idVendor = g->devices[IndexOf(d)].vendor;
        desc->idProduct = g->devices[IndexOf(d)].product;
        return 0;
    },
    [](libusb_device*) -> uint8_t { return 3; },
    [](libusb_device* d, uint8_t* ports, int) {
        ports[0] = 1;
        ports[1] = static_cast<uint8_t>(IndexOf(d) + 1);
        return 2;
    },
    [](libusb_device* d, libusb_device_handle** h) {
        g->calls.push_back("open");
        const int r = g->devices[IndexOf(d)].openResult;
        if (r != 0) return r;
        *h = reinterpret_cast<libusb_device_handle*>(d);
        ++g->liveHandles;
        return 0;
    },
    [](libusb_device_handle*) {
        g->calls.push_back("close");
        --g->liveHandles;
    },
    [](libusb_device_handle*, int enable) {
        g->calls.push_back("detach" + std::to_string(enable));
        return 0;
    },
    [](libusb_device_handle*, int n) {
        g->calls.push_back("claim" + std::to_string(n));
        return g->claimResult;
    },
    [](libusb_device_handle*, int n) {
        g->calls.push_back("release" + std::to_string(n));
        return 0;
    },
    [](libusb_device_handle*, int n, int alt) {
        g->calls.push_back("alt" + std::to_string(n) + "." + std::to_string(alt));
        return g->altResult;
    },
    [](libusb_device_handle*, uint8_t, uint8_t, uint16_t, uint16_t, unsigned char*, uint16_t,
       unsigned int) { return g->controlResult; },
    [](libusb_device_handle*, unsigned char, unsigned char*, int, int* transferred, unsigned int) {
        *transferred = g->bulkTransferred;
        return g->bulkResult;
    },
    [](libusb_device_handle*) { return 0; },
    [](int) {
        ++g->liveTransfers;
        return new libusb_transfer{};
    },
    [](libusb_transfer* t) {
        --g->liveTransfers;
        delete t;
    },
    [](libusb_transfer* t) {
        g->submitted = t;
        g->cancelled = false;
        return 0;
    },
    [](libusb_transfer* t) {
        if (g->submitted != t) return static_cast<int>(LIBUSB_ERROR_NOT_FOUND);
        g->cancelled = true;
        return 0;
    },
    [](libusb_context*, timeval*, int*) {
        libusb_transfer* t = g->submitted;
        if (t == nullptr) return 0;
        g->submitted = nullptr;
        t->actual_length = g->cancelled ? 0 : g->bulkTransferred;
        t->status = g->cancelled                         ? LIBUSB_TRANSFER_CANCELLED
                    : g->bulkResult == 0                 ? LIBUSB_TRANSFER_COMPLETED
                    : g->bulkResult == LIBUSB_ERROR_PIPE ? LIBUSB_TRANSFER_STALL
                                                         : LIBUSB_TRANSFER_TIMED_OUT;
        t->callback(t);
        return 0;
    },
};

class LibusbBackendTest : public ::testing::Test {
protected:
    void SetUp() override { g = &fake; }
    void TearDown() override {
        EXPECT_EQ(fake.liveHandles, 0);
        EXPECT_EQ(fake.liveLists, 0);
        EXPECT_EQ(fake.liveContexts, 0);
        EXPECT_EQ(fake.liveTransfers, 0);
        g = nullptr;
    }
    FakeLibusb fake;
};

TEST(LibusbErrorMapping, CodesMapAndHaveNames) {
    const std::pair<int, UsbStatus> cases[] = {
        {0, UsbStatus::Ok},
        {LIBUSB_ERROR_NO_DEVICE, UsbStatus::NoDevice},
        {LIBUSB_ERROR_NO_MEM, UsbStatus::Other},
    };
    for (const auto& [code, status] : cases) EXPECT_EQ(vorn::MapLibusbError(code), status) << code;
    EXPECT_STREQ(vorn::UsbStatusName(UsbStatus::Access),
                 "access denied (insufficient permissions)");
}

TEST_F(LibusbBackendTest, ListOpenAndCloseInOrderLeakingNothing) {
    fake.devices = {{0x1D6B, 0x0002}, {0x04B4, 0x8613, LIBUSB_ERROR_ACCESS}, {0x04B4, 0x8613}};
    vorn::LibusbBackend backend(kFakeApi);
    const auto list = backend.ListDevices();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].location, "bus 3 port 1.3");
    EXPECT_EQ(backend.ListDevices().size(), 2u);  // listing again frees the old list
    UsbStatus status = UsbStatus::Ok;
    EXPECT_EQ(backend.Open(0, status), nullptr);
    EXPECT_EQ(status, UsbStatus::Access);
    auto link = backend.Open(1, status);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->SetAltSetting(0, 1), UsbStatus::Ok);
    link.reset();
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"open", "open", "detach1", "claim0", "alt0.1",
                                                    "release0", "close"}));
    fake.claimResult = LIBUSB_ERROR_BUSY;
    EXPECT_EQ(backend.Open(1, status), nullptr);
    EXPECT_EQ(status, UsbStatus::Busy);
    EXPECT_STREQ(backend.LastErrorName(), "LIBUSB_ERROR_BUSY");
    EXPECT_EQ(fake.calls.back(), "close");
    EXPECT_EQ(backend.Open(2, status), nullptr);
    EXPECT_EQ(status, UsbStatus::NotFound);

    fake.listResult = LIBUSB_ERROR_NO_MEM;
    EXPECT_TRUE(backend.ListDevices().empty());
    EXPECT_STREQ(backend.LastErrorName(), "LIBUSB_ERROR_NO_MEM");
    fake.initResult = LIBUSB_ERROR_OTHER;
    vorn::LibusbBackend noUsb(kFakeApi);
    EXPECT_EQ(noUsb.InitStatus(), UsbStatus::Other);
    EXPECT_STREQ(noUsb.LastErrorName(), "LIBUSB_ERROR_OTHER");
    EXPECT_TRUE(noUsb.ListDevices().empty());
}

TEST_F(LibusbBackendTest, TransfersKeepPartialCountsAndMapErrors) {
    fake.devices = {{0x04B4, 0x8613}};
    vorn::LibusbBackend backend(kFakeApi);
    backend.ListDevices();
    UsbStatus status = UsbStatus::Other;
    auto link = backend.Open(0, status);
    ASSERT_NE(link, nullptr);
    std::vector<std::uint8_t> buf(4096);

    fake.bulkResult = LIBUSB_ERROR_TIMEOUT;
    fake.bulkTransferred = 1536;
    auto r = link->BulkTransfer(0x86, buf.data(), 4096, 1000);
    EXPECT_EQ(r.status, UsbStatus::Timeout);
    EXPECT_EQ(r.transferred, 1536);
    EXPECT_STREQ(link->LastErrorName(), "LIBUSB_ERROR_TIMEOUT");  // for the log line

    fake.bulkResult = LIBUSB_ERROR_OVERFLOW;
    fake.bulkTransferred = 9999;  // never more than the buffer
    r = link->BulkTransfer(0x86, buf.data(), 4096, 1000);
    EXPECT_EQ(r.status, UsbStatus::Overflow);
    EXPECT_EQ(r.transferred, 4096);

    EXPECT_EQ(link->BulkTransfer(0x02, nullptr, 2048, 1000).status, UsbStatus::InvalidParam);

    fake.controlResult = 1;
    r = link->ControlTransfer(0xC0, 0xA0, 0xE600, 0, buf.data(), 1, 10000);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.transferred, 1);
    EXPECT_EQ(link->LastErrorName(), nullptr);
    EXPECT_EQ(link->ResetPort(), UsbStatus::Ok);
    fake.altResult = LIBUSB_ERROR_IO;
    EXPECT_EQ(link->SetAltSetting(0, 1), UsbStatus::Io);
}

TEST_F(LibusbBackendTest, SubmittedTransfersCompleteOrEndCancelled) {
    fake.devices = {{0x04B4, 0x8613}};
    vorn::LibusbBackend backend(kFakeApi);
    backend.ListDevices();
    UsbStatus status = UsbStatus::Other;
    auto link = backend.Open(0, status);
    ASSERT_NE(link, nullptr);
    std::vector<std::uint8_t> buf(4096);

    fake.bulkResult = 0;
    fake.bulkTransferred = 3000;
    auto r = link->SubmitBulkTransfer(0x86, buf.data(), 4096, 1000)->Wait();
    EXPECT_EQ(r.status, UsbStatus::Ok);
    EXPECT_EQ(r.transferred, 3000);
    fake.bulkResult = LIBUSB_ERROR_PIPE;
    EXPECT_EQ(link->SubmitBulkTransfer(0x86, buf.data(), 4096, 1000)->Wait().status,
              UsbStatus::Pipe);
    EXPECT_STREQ(link->LastErrorName(), "LIBUSB_ERROR_PIPE");

    auto pending = link->SubmitBulkTransfer(0x86, buf.data(), 4096, 1000);
    pending->Cancel();
    r = pending->Wait();
    EXPECT_EQ(r.status, UsbStatus::Cancelled);
    EXPECT_EQ(r.transferred, 0);
    // Dropped unfinished: cancelled and reaped before the buffer goes.
    link->SubmitBulkTransfer(0x86, buf.data(), 4096, 1000).reset();
    EXPECT_EQ(fake.submitted, nullptr);
    EXPECT_EQ(link->SubmitBulkTransfer(0x02, nullptr, 16, 1000)->Wait().status,
              UsbStatus::InvalidParam);
}

TEST_F(LibusbBackendTest, LinkMayOutliveTheBackend) {
    fake.devices = {{0x04B4, 0x8613}};
    std::unique_ptr<vorn::UsbDeviceLink> link;
    {
        vorn::LibusbBackend backend(kFakeApi);
        backend.ListDevices();
        UsbStatus status = UsbStatus::Other;
        link = backend.Open(0, status);
        ASSERT_NE(link, nullptr);
    }
    EXPECT_EQ(fake.liveContexts, 1);  // the context ends with the last handle
    link.reset();
}

}  // namespace
