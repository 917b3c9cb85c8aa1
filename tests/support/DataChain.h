#pragma once
// The data path as the window builds it, for tests and benchmarks: a connection "Kestrin" that takes
// its parameters from the settings files WriteConnectionFiles writes, a statement on it and a provider
// for the statement, all owned by `owner`. A client dataset reaches them through the provider's name.
#include <string>

class TComponent;
class TDataSetProvider;
class TSQLDataSet;

struct DataChain {
    DataChain(TComponent& owner, const std::string& statement, const std::string& providerName = "DSP");
    TSQLDataSet* sql;
    TDataSetProvider* provider;
};
