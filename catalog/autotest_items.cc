// The settings the self-test exercises, in the order it walks them.
#include "catalog/catalog.h"

namespace vort64 {
namespace {

// With InterfaceRule::kCurrentSelfTestList.
constexpr std::wstring_view kCurrent[] = {
    L"intel vtd",
    L"intel vtx",
    L"amd-iommu",
    L"amd-svm",
    L"touchpad",
    L"xhci support",
    L"tbt detection gain",
    L"sata mode",
    L"usb device filter",
    L"network boot",
    L"wake on lan",
    L"lid open resume",
    L"power-off usb charge",
    L"battery threshold",
    L"tbt wake",
    L"wake on usb while lid closed",
    L"tbt wake from s4 support",
    L"usb wake from s4 support",
    L"current tpm 1.2 state",
    L"current tpm 2.0 state",
    L"change tpm 1.2 state",
    L"change tpm 2.0 state",
    L"clear tpm(tcm)",
    L"supervisor password is status",
    L"user password is status",
    L"password on boot",
    L"f12 boot menu",
    L"function key behavior",
    L"d2d recovery",
    L"display language",
    L"keyboard backlight timeout",
    L"internal kb numpad",
    L"fast boot",
    L"boot mode",
    L"boot priority order",
    L"post animation & sound",
    L"sound",
    L"secure boot",
    L"asf support",
    L"asf configuration",
    L"wi-fi",
    L"wigig",
    L"bluetooth",
    L"3g/lte",
    L"card reader",
    L"wired lan",
    L"audio",
    L"camera",
    L"fingerprint",
    L"optical drive",
    L"speaker & headphone",
    L"microphone",
    L"cnvi wlan/bt",
    L"usb ports",
    L"type c",
    L"wake on wlan",
    L"power on by rtc alarm",
    L"usb boot",
    L"hour",
    L"minute",
    L"second",
    L"absolute persistence module",
    L"lock bios version",
    L"rollback old bios version",
    L"set user password",
    L"set supervisor password",
};

// Without InterfaceRule::kCurrentSelfTestList.
constexpr std::wstring_view kLegacy[] = {
    L"asf support",
    L"asf configuration",
    L"wi-fi",
    L"wigig",
    L"bluetooth",
    L"3g/lte",
    L"card reader",
    L"wired lan",
    L"audio",
    L"camera",
    L"fingerprint",
    L"optical drive",
    L"speaker & headphone",
    L"microphone",
    L"cnvi wlan/bt",
    L"usb ports",
    L"type c",
    L"wake on wlan",
    L"power on by rtc alarm",
    L"usb boot",
    L"hour",
    L"minute",
    L"second",
    L"absolute persistence module",
    L"lock bios version",
    L"rollback old bios version",
};

}  // namespace

std::span<const std::wstring_view> AutotestItemsCurrent() { return kCurrent; }
std::span<const std::wstring_view> AutotestItemsLegacy() { return kLegacy; }

std::span<const std::wstring_view> AutotestItems(const InterfaceVersion& version) {
  return version.Holds(InterfaceRule::kCurrentSelfTestList) ? AutotestItemsCurrent() : AutotestItemsLegacy();
}

}  // namespace vort64
