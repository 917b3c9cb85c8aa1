#include "support/DataChain.h"

#include "data/Provider.h"
#include "data/SQLConnection.h"
#include "data/SQLDataSet.h"

DataChain::DataChain(TComponent& owner, const std::string& statement, const std::string& providerName) {
    auto* conn = new TSQLConnection(&owner);
    conn->SetConnectionName("Kestrin");
    conn->SetDriverName("Firebird");
    conn->SetLoadParamsOnConnect(true);
    conn->SetLoginPrompt(false);
    sql = new TSQLDataSet(&owner);
    sql->SetSQLConnection(conn);
    sql->SetCommandText(statement);
    provider = new TDataSetProvider(&owner);
    provider->SetName(providerName);
    provider->SetDataSet(sql);
}
