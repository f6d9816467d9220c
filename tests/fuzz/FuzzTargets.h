// The fuzzing entry points: each takes one input, runs it through a reader of hostile bytes and
// checks what came out. A fault aborts (the fuzzer's crash); a clean error of the reader does not.
// The fuzz build (clang, libFuzzer) and the corpus replay of the normal build call the same ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Once per process, before the first input: a private settings home, code page 1252, the
// formats registered, a Qt application on the offscreen platform.
void InitFuzzing(int* argc, char*** argv);

using TFuzzEntry = int (*)(const uint8_t* data, size_t size);

// The entry of a target by its name (the folder of its corpus), null for an unknown name.
TFuzzEntry FuzzEntry(std::string_view target);

// An input names its importer by format ID, then a zero byte, a byte of option bits and the
// file: inputs keep their reader whatever the registry's order. A successful read is written back
// in the same format and read again: a failed reread or a lost POI aborts. Inputs naming no
// importer are refused (-1, so the fuzzer keeps none of them).
int FuzzReaders(const uint8_t* data, size_t size);
// The importer row of a format ID, -1 when there is none.
int ReaderRow(std::string_view formatID);
// Every importer's format ID, in registry order.
std::vector<std::string> ReaderFormatIDs();
// The document object (loaded, saved, loaded again, queried) and the stream reader.
int FuzzXml(const uint8_t* data, size_t size);
// The metafile reader, the picture drawn.
int FuzzMetafile(const uint8_t* data, size_t size);
// The calibration side file; a calibration read is written and read back the same.
int FuzzCalibration(const uint8_t* data, size_t size);
// The site catalogue, every country, group and POI then asked for.
int FuzzCatalogue(const uint8_t* data, size_t size);
// The version file.
int FuzzVersion(const uint8_t* data, size_t size);
// The first byte picks the question (type and name); the rest is the name server's reply. A
// first byte of 255 reads the rest as a resolver configuration instead.
int FuzzDns(const uint8_t* data, size_t size);
// The input is what a mail server on this machine answers, the whole conversation at once; the
// first byte picks the account and the mail.
int FuzzSmtp(const uint8_t* data, size_t size);
