"""Prints the SQL for the three 16 MiB NFO entries of the NFO benchmark: one line, one line with
tabs, and 80-column text art, all in CP437 bytes as most NFOs are."""
import sys

SIZE = 16 * 1024 * 1024 - 1  # the most a MEDIUMBLOB holds
word = b"\xdb\xb2\xb1\xb0 Kestrel "
line = (word * (SIZE // len(word) + 1))[:SIZE]
tabs = (b"\tKestrel" * (SIZE // 8 + 1))[:SIZE]
row = b"\xb3 " + b"\xdb\xdc\xdf\xb0\xb1\xb2 art " * 7 + b"\xb3\r\n"  # 80 columns
art = (row * (SIZE // len(row) + 1))[:SIZE]
out = sys.stdout
out.write("DELETE FROM NFOS WHERE NFOS_DIR LIKE 'Nfo.Bench.%';\n")
out.write("DELETE FROM NFO_DATA WHERE NFO_DATA_DIR LIKE 'Nfo.Bench.%';\n")
for name, data in (("Nfo.Bench.Line-GRP", line), ("Nfo.Bench.Tabs-GRP", tabs), ("Nfo.Bench.Art-GRP", art)):
    out.write(f"INSERT INTO NFOS VALUES ('010199', '{name}');\n")
    out.write(f"INSERT INTO NFO_DATA VALUES ('010199', '{name}', X'{data.hex()}');\n")
