#pragma once
// Whether the machine is online, answered at once from the network monitor (false in a
// network namespace that has only loopback).
bool IsNetworkAlive();
