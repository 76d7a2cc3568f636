// nvdimm-emu serve's command line.
#pragma once

/// Parses the options of `nvdimm-emu serve` (argv[1] is "serve") and serves;
/// 2 with the usage for a command line that does not fit.
int ServeMain(int argc, char **argv);
