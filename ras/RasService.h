#pragma once

#include "RasTypes.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

namespace ras {

// The connection service: one implementation per backend.
// Enumerations fill at most Buffer.size() records; when the buffer is too small they return
// ERROR_BUFFER_TOO_SMALL with Count set to the number of records needed, so callers can retry.
class IRasService {
public:
    virtual ~IRasService() = default;

    virtual RasError EnumEntries(std::span<RasEntryName> Buffer, std::uint32_t& Count) = 0;
    virtual RasError EnumConnections(std::span<RasConnection> Buffer, std::uint32_t& Count) = 0;

    // Starts an asynchronous dial. Connection receives the new handle before any notification
    // can arrive; Notifier may be called on any thread.
    virtual RasError Dial(const RasDialParams& Params, RasDialFunc Notifier,
                          std::atomic<HRASCONN>& Connection) = 0;

    // Safe to call from any thread.
    virtual RasError HangUp(HRASCONN Connection) = 0;

    virtual RasError GetErrorString(RasError Code, std::string& Text) = 0;
};

// The backend the program uses on this platform; the only place that chooses one.
std::unique_ptr<IRasService> CreatePlatformRasService();

} // namespace ras
