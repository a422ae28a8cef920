#include "curl_transfer/curl_transfer_control.h"

#include <curl/curl.h>

#include <utility>

#include "curl_transfer/curl_session.h"

namespace tarnwick {

CurlTransferControl::CurlTransferControl(std::shared_ptr<CurlSession> session, EventPoster& poster,
                                         TransferSettings settings)
    : session_(std::move(session)), channel_(std::make_shared<TransferChannel>(poster, std::move(settings))) {}

CurlTransferControl::~CurlTransferControl() {
  channel_->Stop();
  session_->Forget(channel_.get());
}

void CurlTransferControl::SetOutcomeHandler(OutcomeHandler handler) { channel_->SetOutcomeHandler(std::move(handler)); }

void CurlTransferControl::SetProgressHandler(ProgressHandler handler) {
  channel_->SetProgressHandler(std::move(handler));
}

void CurlTransferControl::SetWaitHandler(WaitHandler handler) { channel_->SetWaitHandler(std::move(handler)); }

void CurlTransferControl::Execute(const std::string& url, const std::string& operation, const FileChecks& checks) {
  session_->Push(channel_, {url, operation, checks});
}

CurlTransferControlFactory::CurlTransferControlFactory(EventPoster& poster, TransferOverrides overrides)
    : poster_(poster), overrides_(std::move(overrides)) {
  static const CURLcode globalInit = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)globalInit;
  session_ = std::make_shared<CurlSession>();
}

CurlTransferControlFactory::~CurlTransferControlFactory() = default;

void CurlTransferControlFactory::SetRouteHandler(RouteHandler handler) {
  session_->SetRouteHandler(std::move(handler));
}

std::unique_ptr<TransferControl> CurlTransferControlFactory::Create(const TransferSettings& settings) {
  return std::make_unique<CurlTransferControl>(session_, poster_, overrides_.AppliedTo(settings));
}

}  // namespace tarnwick
