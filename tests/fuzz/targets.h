// The fuzz targets as plain functions, so that the unit tests can replay
// their kept inputs. Each takes the bytes of one input and returns 0; a
// failed check throws fuzz::CheckFailed.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qz::fuzz {

// The bytes are "QZVRN.config"; ReadConfiguration.
int ConfigReaderOneInput(const std::uint8_t* data, std::size_t size);
// The bytes are "QZVRN_Conditions.config"; ReadConditions.
int ConditionsReaderOneInput(const std::uint8_t* data, std::size_t size);
// The bytes are the rule file; ReadJSFromXml and the script writer.
int RuleFileOneInput(const std::uint8_t* data, std::size_t size);
// The bytes are a return code and wide texts; WriteLog, WriteRuleScript,
// WriteReturnCode.
int TextWritersOneInput(const std::uint8_t* data, std::size_t size);

}  // namespace qz::fuzz
