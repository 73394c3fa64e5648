"""Gathers the name=value lines of the benchmarks into a Markdown report against the budgets."""
import pathlib
import sys



def budget_table(budgets, values, digits):
    """One row per (title, key, budget or None, unit): the value measured and whether it is within."""
    print("| Measure | Result | Budget | |")
    print("|---|---:|---:|---|")
    for title, key, budget, unit in budgets:
        if key not in values:
            print(f"| {title} | missing | | |")
            continue
        value = values[key]
        verdict = "" if budget is None else ("within" if value <= budget else "OVER")
        shown_budget = "" if budget is None else f"{budget:g}{unit}"
        print(f"| {title} | {value:{digits}}{unit} | {shown_budget} | {verdict} |")


def index_report(out):
    """bench/run --rows: the local copy against the statements on one table."""
    values, notes = {}, []
    for line in (out / "index.txt").read_text().splitlines():
        if "=" in line and ":" not in line:
            key, value = line.split("=", 1)
            values[key.strip()] = float(value)
        else:
            notes.append(line)
    rows = int(values.get("rows", 0))
    print(f"Local copy against the statements, {rows:,} rows "
          f"({int(values.get('rounds', 0))} rounds from the copy, {int(values.get('server_rounds', 0))} with --server; "
          "wall time from fork to exit; a 2-core machine shared with builds, so the figures are noisy)")
    print()
    budgets = [
        ("First --sync from nothing", "index_first_sync_s", 180, " s"),
        ("Search from the copy: median of all masks", "index_search_median_ms", 100, " ms"),
        ("Search from the copy: slowest single run", "index_search_max_ms", 250, " ms"),
        ("Search with --server: median of all masks", "index_server_median_ms", None, " ms"),
        ("--sync after 10,000 new rows", "index_catchup_sync_ms", 1000, " ms"),
        ("The copy on disk", "index_copy_size_mib", 1024, " MiB"),
        ("Peak RssAnon of the checker, --sync", "index_sync_peak_rss_anon_mib", 128, " MiB"),
        ("Peak RssAnon of the checker, searches from the copy", "index_search_peak_rss_anon_mib", 128, " MiB"),
        ("Peak RssAnon of the checker, --server searches", "index_server_peak_rss_anon_mib", None, " MiB"),
        ("Answers that differ from the server's", "index_answer_differences", 0, ""),
    ]
    budget_table(budgets, values, ".4g")
    print()
    print("Per mask (ms):")
    print()
    print("| Mask | Copy median | Copy slowest | --server median |")
    print("|---|---:|---:|---:|")
    masks = [n.split(": ", 1)[1].split(" = ", 1) for n in notes if n.startswith("mask: ")]
    for label, mask in masks:
        key = label.replace("-", "_")
        def shown(name):
            v = values.get(name)
            return "missing" if v is None else f"{v:.1f}"
        print(f"| {label}: `{mask}` | {shown(f'index_search_{key}_median_ms')} | "
              f"{shown(f'index_search_{key}_max_ms')} | {shown(f'index_server_{key}_median_ms')} |")
    print()
    for note in notes:
        if not note.startswith("mask: "):
            print(f"- {note}")


if sys.argv[1] == "--index":
    index_report(pathlib.Path(sys.argv[2]))
    sys.exit(0)
out = pathlib.Path(sys.argv[1])
values = {}
for name in ("list.txt", "startup.txt", "dupe.txt", "search.txt", "nfo.txt"):
    for line in (out / name).read_text().splitlines():
        if "=" in line and ":" not in line:
            key, value = line.split("=", 1)
            values[key.strip()] = float(value)

budgets = [
    ("Search overhead ratio at 2000 rows (Kestrel / mariadb client)", "search_overhead_ratio", 1.05, ""),
    ("Longest UI-thread block during a search", "ui_longest_block_during_search_ms", 16, " ms"),
    ("Fill the results list with 2000 rows", "list_fill_2000_ms", 15, " ms"),
    ("Sort 2000 rows by Date", "list_sort_date_ms", 10, " ms"),
    ("Sort 2000 rows by Directory", "list_sort_directory_ms", 10, " ms"),
    ("Copy 2000 rows to the clipboard", "list_copy_all_ms", None, " ms"),
    ("Start-up to the window (splash aside)", "startup_to_window_ms", 150, " ms"),
    ("Peak memory, idle program", "kestrel_idle_peak_rss_mib", 45, " MiB"),
    ("kestrel-dupe --version, fork to exit", "dupe_version_ms", 10, " ms"),
    ("/bin/true in the same rounds (the machine's floor)", "exec_floor_ms", None, " ms"),
    ("Peak memory, after the searches (bench process)", "search_process_peak_rss_mib", 45, " MiB"),
    ("16 MiB NFO as one line: longest UI-thread block", "nfo_line_ui_longest_block_ms", 100, " ms"),
    ("16 MiB NFO as one line: peak memory above the process before", "nfo_line_peak_growth_mib", 64, " MiB"),
    ("16 MiB NFO as one line: left in use after four viewers closed with OK", "nfo_line_after_ok_growth_mib", None, " MiB"),
    ("16 MiB NFO as one line with tabs: longest UI-thread block", "nfo_tabs_ui_longest_block_ms", 100, " ms"),
    ("16 MiB NFO as one line with tabs: peak memory above the process before", "nfo_tabs_peak_growth_mib", 64, " MiB"),
    ("16 MiB NFO as 80-column art: longest UI-thread block", "nfo_art_ui_longest_block_ms", 100, " ms"),
    ("16 MiB NFO as 80-column art: peak memory above the process before", "nfo_art_peak_growth_mib", 64, " MiB"),
    ("16 MiB NFO as 80-column art: left in use after four viewers closed with OK", "nfo_art_after_ok_growth_mib", None, " MiB"),
]
budget_table(budgets, values, ".3g")
print()
print("Search time against rows retrieved (medians, ms):")
print()
print("| Rows | Kestrel | mariadb client | Ratio |")
print("|---:|---:|---:|---:|")
for row in (out / "search.csv").read_text().splitlines()[1:]:
    rows, kestrel, client, ratio = row.split(",")
    print(f"| {rows} | {float(kestrel):.1f} | {float(client):.1f} | {float(ratio):.3f} |")
print()
print("Chart: search.png")
