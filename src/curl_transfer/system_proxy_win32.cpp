#include "curl_transfer/system_proxy_win32.h"

// clang-format off
#include <windows.h>
#include <winhttp.h>
// clang-format on

#include <memory>

#include "curl_transfer/proxy_route.h"

namespace tarnwick {
namespace {

std::string Narrow(const wchar_t* text) {
  if (text == nullptr || *text == L'\0') {
    return {};
  }
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length > 0 ? length - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::wstring Wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length - 1 : 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
  return wide;
}

// WinHTTP hands out strings that the caller frees with GlobalFree.
std::string Taken(LPWSTR& text) {
  std::string narrow = Narrow(text);
  if (text != nullptr) {
    GlobalFree(text);
    text = nullptr;
  }
  return narrow;
}

// A proxy and its bypass list for `scheme` and `host`: the proxy, or empty when it goes direct.
std::string Applied(const std::string& proxies, const std::string& bypass, const std::string& scheme,
                    const std::string& host) {
  if (WindowsProxyBypassed(host, bypass)) {
    return {};
  }
  return WindowsProxyForScheme(proxies, scheme);
}

// The automatic configuration: the script at `script`, else the one detection finds. Nothing when neither
// answers.
std::optional<std::string> Scripted(const std::string& url, const std::string& script, bool detect,
                                    const std::string& scheme, const std::string& host) {
  const std::unique_ptr<void, decltype(&WinHttpCloseHandle)> session(
      WinHttpOpen(L"tarnwick-download", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                  0),
      WinHttpCloseHandle);
  if (!session) {
    return std::nullopt;
  }
  const std::wstring scriptUrl = Wide(script);
  WINHTTP_AUTOPROXY_OPTIONS options{};
  options.dwFlags = script.empty() ? WINHTTP_AUTOPROXY_AUTO_DETECT : WINHTTP_AUTOPROXY_CONFIG_URL;
  if (detect && !script.empty()) {
    options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
  }
  if (options.dwFlags & WINHTTP_AUTOPROXY_AUTO_DETECT) {
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  }
  options.lpszAutoConfigUrl = script.empty() ? nullptr : scriptUrl.c_str();
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info{};
  if (!WinHttpGetProxyForUrl(session.get(), Wide(url).c_str(), &options, &info)) {
    return std::nullopt;
  }
  const std::string proxies = Taken(info.lpszProxy);
  const std::string bypass = Taken(info.lpszProxyBypass);
  if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
    return std::string();
  }
  return Applied(proxies, bypass, scheme, host);
}

}  // namespace

std::optional<std::string> InternetOptionsProxy(const std::string& url, const std::string& scheme,
                                                const std::string& host) {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
  if (!WinHttpGetIEProxyConfigForCurrentUser(&config)) {
    return std::nullopt;
  }
  const bool detect = config.fAutoDetect != FALSE;
  const std::string script = Taken(config.lpszAutoConfigUrl);
  const std::string proxies = Taken(config.lpszProxy);
  const std::string bypass = Taken(config.lpszProxyBypass);
  if (detect || !script.empty()) {
    if (auto found = Scripted(url, script, detect, scheme, host)) {
      return found;
    }
  }
  if (proxies.empty()) {
    return std::nullopt;
  }
  return Applied(proxies, bypass, scheme, host);
}

}  // namespace tarnwick
