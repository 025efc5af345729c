// How the dialogue trace tells a host operation and the status it leaves:
// "write M5.120 (int) = 42: status 6 (write error)", so that a reader can
// follow one value from the host's call to the modem and back.
#pragma once

#include <cstdint>
#include <string>

#include "driver/host_records.h"
#include "driver/register_table.h"

namespace kelvora {

// The address as the host would write it, from the register table's syntax
// for the request's data type ("M5.120", "M5.120.3", "DETC"); "?" for a
// request the table does not know.
std::string RegisterText(const RegisterTable& table, const RegisterRequest& request);

// verb, register, data type, the value when given (the field of the data
// type), and the status.
std::string DescribeOperation(const char* verb, const RegisterTable& table, const RegisterRequest* request,
                              const RegisterValue* value, uint32_t status);

}  // namespace kelvora
