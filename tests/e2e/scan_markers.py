"""A program file must never hold a complete package marker (its text followed by 0x01), or a
search over an installer would stop inside the program's own constants."""
import sys

texts = ["QEV-mark=配置包A", "QEV-mark=配置包B", "QEV-mark=配置包sA", "QEV-mark=配置包sB",
         "QEV-mark=7zipdataA", "QEV-mark=7zipdataB", "uninst_datA", "uninst_datB",
         "uninst_iniA", "uninst_iniB", "skinA", "skinB"]
failed = 0
for path in sys.argv[1:]:
    data = open(path, "rb").read()
    for t in texts:
        marker = t.encode("gbk") + b"\x01"
        if marker in data:
            print(f"FAIL {path} holds the complete marker {t!r} at {data.find(marker)}")
            failed += 1
print(f"{len(texts) * len(sys.argv[1:]) - failed} passed, {failed} failed")
sys.exit(1 if failed else 0)
