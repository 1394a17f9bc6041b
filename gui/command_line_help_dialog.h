// The "Command Line Help" dialog: a read-only fixed-pitch text with the switches in bold green.
#pragma once

namespace kx7 {

void RegisterCommandLineHelpDialog();

}  // namespace kx7
