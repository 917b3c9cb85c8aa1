#pragma once
// A client dataset that counts the records it reads into its record buffers, for tests and
// benchmarks that show a grid reads only the rows it shows (painting reads none, paging each once).
#include "data/ClientDataSet.h"

class TCountingDataSet : public TClientDataSet {
public:
    using TClientDataSet::TClientDataSet;
    long reads = 0;

protected:
    TGetResult GetRecord(char* buffer, TGetMode mode, bool doCheck) override {
        ++reads;
        return TClientDataSet::GetRecord(buffer, mode, doCheck);
    }
};
