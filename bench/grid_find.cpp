// What a keystroke in the customer grid's find bar costs, the search, the move and the repaint
// included, on the generator's 100,000 customers and on 1,000,000 (each customer ten times over, codes
// made unique by a digit), with every customer already read:
//   - a code typed character by character ("G00500" ... of the middle customer): each keystroke;
//   - a name part found near the end of the list from its start, and a text found nowhere (every
//     customer read once: the worst keystroke).
// Reference, in the same run: a plain loop over the same customers' code and name bytes, held in
// plain strings, looking for the same text with std::string_view::find (no code page rules, no case).
// Targets: a keystroke at most 30 ms at 100,000 customers and 150 ms at 1,000,000.
//
//   grid_find [DATABASE] [RUNS] [SIZES]
//
// SIZES: "100k", "1m" or both (the default). Without a database the large one is made (once, in the
// cache) with scripts/make-db.sh.
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "grid/KxDBGrid.h"
#include "support/BenchApplication.h"
#include "support/BenchFolder.h"
#include "support/CustomerGrid.h"
#include "support/FbReference.h"
#include "ui/Application.h"
#include "ui/Edit.h"
#include "ui/FindBar.h"
#include "ui/Form.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
// Every customer ten times, the copies told apart by a last digit of the code.
const char* kMillion =
    "select C.CUST_ID || K.D AS CUST_ID, C.CUST_NAME, C.CUST_CLASSID, 'N' AS SELECT_YN from CUSTOMER C "
    "cross join (select 0 AS D from RDB$DATABASE union all select 1 from RDB$DATABASE union all select 2 "
    "from RDB$DATABASE union all select 3 from RDB$DATABASE union all select 4 from RDB$DATABASE union all "
    "select 5 from RDB$DATABASE union all select 6 from RDB$DATABASE union all select 7 from RDB$DATABASE "
    "union all select 8 from RDB$DATABASE union all select 9 from RDB$DATABASE) K\r\nORDER BY 1";

struct Figures {
    int customers = 0;
    double prefixWorst = 1e300, prefixMean = 1e300, late = 1e300, none = 1e300;
    double plainLate = 1e300, plainNone = 1e300;
    bool found = true;
};

struct Scene : CustomerScene {
    explicit Scene(const char* sql) : CustomerScene(sql) {
        grid->SetDataSource(source);
        grid->SetFindFields({{"CUST_ID", true}, {"CUST_NAME", false}});
        form->Show();
        grid->SetFocus();
        cds->Open();
        cds->RecordCount();  // every customer read
        Application->ProcessMessages();
    }
    // Seconds for the box to take `text` as a keystroke would leave it, the repaint included.
    double keystroke(const AnsiString& text) {
        const double start = NowSeconds();
        grid->FindBar()->Box()->SetText(text);
        Application->ProcessMessages();
        return NowSeconds() - start;
    }
    AnsiString current(const char* field) { return cds->FieldByName(field)->AsString(); }
};

// Seconds for the plain loop to find `text` in the codes and names from the first customer on.
double plainLoop(const std::vector<std::string>& codes, const std::vector<std::string>& names,
                 const std::string& text, int& at) {
    const double start = NowSeconds();
    at = -1;
    for (size_t i = 0; i < codes.size() && at < 0; ++i)
        if (std::string_view(codes[i]).starts_with(text) || std::string_view(names[i]).find(text) != std::string::npos)
            at = int(i);
    return NowSeconds() - start;
}

void measure(Figures& f, const char* sql, int step) {
    Scene s(sql);
    f.customers = s.cds->RecordCount();
    std::vector<std::string> codes, names;
    s.cds->DisableControls();
    for (s.cds->First(); !s.cds->Eof(); s.cds->Next()) {
        codes.push_back(s.current("CUST_ID"));
        names.push_back(s.current("CUST_NAME"));
    }
    s.cds->First();
    s.cds->EnableControls();
    Application->ProcessMessages();
    s.grid->ShowFindBar();
    Application->ProcessMessages();

    // A code typed character by character, from the first customer.
    const std::string code = codes[codes.size() / 2];
    double worst = 0, sum = 0;
    for (size_t n = 1; n <= code.size(); ++n) {
        const double t = s.keystroke(code.substr(0, n));
        worst = std::max(worst, t);
        sum += t;
    }
    f.found = f.found && s.current("CUST_ID") == code;
    f.prefixWorst = std::min(f.prefixWorst, worst);
    f.prefixMean = std::min(f.prefixMean, sum / double(code.size()));

    // A name part of a customer near the end, looked for from the first customer.
    const std::string name = names[names.size() - size_t(step)];
    const std::string part = name.substr(0, name.find(' '));
    s.keystroke("");
    s.cds->First();
    Application->ProcessMessages();
    f.late = std::min(f.late, s.keystroke(part));
    f.found = f.found && s.current("CUST_NAME").find(part) != std::string::npos;
    int at = 0;
    f.plainLate = std::min(f.plainLate, plainLoop(codes, names, part, at));

    // Found nowhere: every customer read once.
    s.keystroke("");
    f.none = std::min(f.none, s.keystroke("#none#"));
    f.found = f.found && s.grid->FindBar()->NotFound();
    f.plainNone = std::min(f.plainNone, plainLoop(codes, names, "#none#", at));
}

void report(const char* size, const Figures& f, double target) {
    std::printf("%s: %d customers\n", size, f.customers);
    std::printf("  code typed by characters     worst %7.2f ms  mean %7.2f ms  (target <= %.0f)\n",
                f.prefixWorst * 1e3, f.prefixMean * 1e3, target);
    std::printf("  name part near the end       %7.2f ms   plain loop %7.2f ms   %.2f x\n", f.late * 1e3,
                f.plainLate * 1e3, f.late / f.plainLate);
    std::printf("  found nowhere (all read)     %7.2f ms   plain loop %7.2f ms   %.2f x  (target <= %.0f)\n",
                f.none * 1e3, f.plainNone * 1e3, f.none / f.plainNone, target);
}
} // namespace

int main(int argc, char** argv) {
    try {
        BenchFolder folder;
        const std::string database = folder.LargeDatabase(argc > 1 ? argv[1] : "");
        const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
        const std::string sizes = argc > 3 ? argv[3] : "100k,1m";
        folder.UseDatabase(database);
        StartBenchApplication("grid_find");

        bool met = true;
        std::printf("database %s, best of %d runs\n", database.c_str(), runs);
        struct Size {
            const char* name;
            const char* statement;
            int step;
            double targetMs;
        };
        for (const Size& size : {Size{"100k", kCustomerStatement, 20, 30}, Size{"1m", kMillion, 200, 150}}) {
            if (sizes.find(size.name) == std::string::npos) continue;
            Figures f;
            for (int run = 0; run < runs; ++run)
                measure(f, size.statement, size.step);
            report(size.name, f, size.targetMs);
            met = met && f.found && std::max(f.prefixWorst, std::max(f.late, f.none)) * 1e3 <= size.targetMs;
        }
        if (!met) std::printf("a target is missed or a search went wrong\n");
        Application->Shutdown();
        return met ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "grid_find: %s\n", e.what());
        return 2;
    }
}
