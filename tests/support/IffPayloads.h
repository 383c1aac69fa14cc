#pragma once

// Every chunk of an IFF file on disk with its payload, read by a fresh CIffFile, so a test can
// check that a save changed exactly what it should.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framework/stream/File.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"

using Payloads = std::map<std::pair<ChunkType, uint16_t>, std::vector<uint8_t>>;

inline Payloads ReadPayloads(const std::string& path) {
    CFile file(path, CFile::modeRead);
    CIffFile iff;
    static_cast<void>(iff.Attach(file));
    int code = 0;
    Payloads payloads;
    if (!iff.Open(&code, false)) {
        ADD_FAILURE() << path << " does not open: " << code;
        return payloads;
    }
    for (const ChunkHandle handle : iff.GetChunkList()) {
        const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
        if (record && record->type != kTypeResourceMap && iff.EnsureLoaded(handle)) {
            payloads[{record->type, record->id}].assign(record->data, record->data + record->size);
        }
    }
    return payloads;
}
