#pragma once

// The program's only contact with live connections: look an entry up, hang it up, dial it.
// The state is shared with the redial cycle and with the dial notifier, which the service
// may call on a thread of its own.

#include "RasService.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// A redial cycle has started and the entry has not been seen connected again.
extern std::atomic<bool> RedialPending;
// The connection last found or dialled; 0 after HangUp.
extern std::atomic<ras::HRASCONN> CurrentConnection;

// The last enumeration's records (user-interface thread only).
extern std::vector<ras::RasConnection> ConnectionList;
extern std::uint32_t ConnectionCount;

// The service these operations talk to; not owned. Null means none: nothing is connected.
void SetRasService(ras::IRasService* Service);
ras::IRasService* GetRasService();

void EnumConnections();
ras::HRASCONN FindConnection(const std::string& EntryName);
bool IsConnected(const std::string& EntryName);
void HangUp();
void Dial(const std::string& EntryName, const std::string& Account, const std::string& Password);
void RasDialNotify(std::uint32_t unMsg, ras::RASCONNSTATE rasconnstate, std::uint32_t dwError);


// The records an enumeration starts with; more are asked for when the service needs them.
inline constexpr std::uint32_t InitialConnectionRecords = 11;
