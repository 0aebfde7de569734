#!/usr/bin/env python3
"""Tests of bench/compare, run with `python3 bench/test_compare.py`.

Fake solvers are small sh scripts, so the tests need neither karvona nor DepQBF."""

import os
import sys
from statistics import median
import tempfile
import types
import unittest
from pathlib import Path

BENCH_DIR = Path(__file__).resolve().parent


def load_compare():
    module = types.ModuleType("compare")
    module.__file__ = str(BENCH_DIR / "compare")
    sys.modules["compare"] = module
    source = (BENCH_DIR / "compare").read_text()
    exec(compile(source, module.__file__, "exec"), module.__dict__)
    return module


compare = load_compare()


def script(folder, name, body):
    path = Path(folder) / name
    path.write_text("#!/bin/sh\n" + body + "\n")
    path.chmod(0o755)
    return str(path)


def instance(path, manifest_result="TRUE", set_name="normal", root=Path(".")):
    family = path.split("/")[0]
    return compare.Instance(set_name, root, path, family, "1", "1", "2", manifest_result)


def row(path, solver, status, cpu, rss=1000, options="", manifest="TRUE", certificate=""):
    return compare.Row("normal", path, path.split("/")[0], "1", "1", "2", manifest, solver,
                       options, 10.0, status, "", "", cpu, cpu, rss, certificate, "")


class Runner(unittest.TestCase):
    def test_every_way_a_run_can_end_gets_its_status(self):
        with tempfile.TemporaryDirectory() as folder:
            spin = "while :; do :; done"
            cases = {
                "true": ("karvona", "echo TRUE; exit 10", "TRUE"),
                "handled time limit": (
                    "karvona", "trap 'echo; echo TIME LIMIT EXCEEDED; exit 0' XCPU; " + spin,
                    "TIMEOUT"),
                "killed by time limit": ("depqbf", spin, "TIMEOUT"),
                "segfault": ("karvona", "echo partial; kill -SEGV $$", "CRASH"),
                "status and line disagree": ("karvona", "echo FALSE; exit 10", "ERROR"),
                "memory": ("karvona", "echo 'Memory exception: memory exhausted'; exit 30",
                           "MEMOUT"),
                "hangs without using CPU": ("karvona", "sleep 30", "TIMEOUT"),
                "missing binary": ("karvona", None, "ERROR"),
            }
            jobs = []
            for name, (solver, body, _) in cases.items():
                program = script(folder, f"case{len(jobs)}", body) if body else "/nonexistent"
                jobs.append(compare.Job(instance(name), solver, "", [program]))
            results = {}

            def done(job, outcome):
                results[job.instance.path] = (compare.classify(job.solver, outcome, 1), outcome)

            compare.Runner(1, jobs=2, wall_factor=0, wall_extra=3).run(jobs, done)

            for name, (_, _, status) in cases.items():
                self.assertEqual(results[name][0][0], status, name)
            self.assertIn("wall-clock", results["hangs without using CPU"][0][1])
            self.assertIn("SIGSEGV", results["segfault"][0][1])
            # The sh fake is far smaller than this interpreter: its memory must not leak in.
            own_kb = compare.resource.getrusage(compare.resource.RUSAGE_SELF).ru_maxrss
            self.assertLess(results["true"][1].max_rss_kb, own_kb / 2)
            self.assertGreaterEqual(results["killed by time limit"][1].cpu, 0.5)


class Report(unittest.TestCase):
    def test_answers_are_judged_against_this_runs_depqbf_then_the_manifest(self):
        rows = [
            # DepQBF now disagrees with the manifest: this run's DepQBF is the reference.
            row("f/a", "depqbf", "FALSE", 1.0, manifest="TRUE"),
            row("f/a", "karvona", "FALSE", 2.0, manifest="TRUE"),
            # DepQBF times out: the manifest decides, and karvona is wrong.
            row("f/b", "depqbf", "TIMEOUT", 9.5, manifest="FALSE"),
            row("f/b", "karvona", "TRUE", 0.5, manifest="FALSE"),
            # Both fast: times below the floor count as the floor.
            row("f/c", "depqbf", "TRUE", 0.5, rss=4000),
            row("f/c", "karvona", "TRUE", 0.001, rss=2000),
            row("g/d", "depqbf", "TRUE", 1.0),
            row("g/d", "karvona", "CRASH", 0.1),
        ]
        references = compare.reference_answers(rows)
        stats = compare.family_stats([r for r in rows if r.family == "f"], "", references, 10)
        self.assertEqual(stats["solved"], 2)
        self.assertEqual(stats["wrong"], 1)
        self.assertEqual(stats["depqbf_solved"], 2)
        self.assertAlmostEqual(stats["par2"], 2.0 + 20 + 0.001)  # the wrong answer counts 2x
        self.assertAlmostEqual(stats["depqbf_par2"], 1.0 + 20 + 0.5)
        self.assertAlmostEqual(stats["time_ratio"][0], median([2.0, 0.02]))
        self.assertEqual(stats["time_ratio"][1], 2)
        self.assertAlmostEqual(stats["memory_ratio"][0], median([1.0, 0.5]))

        report = compare.render_report(rows, [])
        self.assertIn("## WRONG ANSWERS: 1", report)
        wrong_section = report.split("## WRONG ANSWERS")[1].split("##")[0]
        self.assertIn("f/b", wrong_section)
        self.assertNotIn("f/a", wrong_section)
        self.assertIn("the manifest says TRUE", report)
        self.assertEqual(compare.family_stats(rows, "", references, 10)["failed"], 1)
        total = [line for line in report.splitlines() if line.startswith("| **total**")][0]
        self.assertIn("**1 WRONG**", total)
        self.assertEqual([r.path for r in compare.wrong_rows(rows)], ["f/b"])


class EndToEnd(unittest.TestCase):
    def test_certified_run_writes_raw_results_that_rebuild_the_same_tables(self):
        with tempfile.TemporaryDirectory() as folder:
            folder = Path(folder)
            benchmarks = folder / "benchmarks"
            (benchmarks / "fam").mkdir(parents=True)
            manifest = ["path\tfamily\tvariables\tclauses\tquantifier_blocks\t"
                        "depqbf_result\tdepqbf_seconds\tsize_bytes"]
            for name in ("good", "forged"):
                (benchmarks / "fam" / f"{name}.qdimacs").write_text("p cnf 1 1\ne 1 0\n1 0\n")
                manifest.append(f"fam/{name}.qdimacs\tfam\t1\t1\t1\tTRUE\t0.00\t20")
            (benchmarks / "manifest.tsv").write_text("\n".join(manifest) + "\n")
            # The fake solver certifies "good" and forges a certificate for "forged".
            karvona = script(folder, "karvona", 'for a; do f=$a; done\n'
                             'case $f in *good*) echo valid >"$f.qbc";; '
                             '*) echo forged >"$f.qbc";; esac\necho TRUE; exit 10')
            depqbf = script(folder, "depqbf", "exit 10")
            checker = script(folder, "checker", 'grep -q valid "$2" && exit 10; exit 1')
            output = folder / "out" / "run.md"

            status = compare.main(["--karvona", karvona, "--depqbf", depqbf, "--checker",
                                   checker, "--certify", "--benchmarks", str(benchmarks),
                                   "--limit", "2", "--options", "-u", "--output", str(output)])

            self.assertEqual(status, 1)
            rows = {(r.path, r.solver): r for r in compare.read_tsv(output.with_suffix(".tsv"))}
            self.assertEqual(rows["fam/good.qdimacs", "karvona"].certificate, "accepted")
            self.assertEqual(rows["fam/forged.qdimacs", "karvona"].certificate, "REJECTED")
            self.assertEqual(rows["fam/good.qdimacs", "karvona"].options, "-u")
            self.assertEqual(sorted(p.name for p in (benchmarks / "fam").iterdir()),
                             ["forged.qdimacs", "good.qdimacs"])  # no certificates left here
            report = output.read_text()
            self.assertIn("## WRONG ANSWERS: 1", report)

            rebuilt = folder / "rebuilt.md"
            self.assertEqual(compare.main(["--tables-from", str(output.with_suffix(".tsv")),
                                           "--output", str(rebuilt)]), 1)
            tables = report[report.index("## WRONG"):]
            self.assertEqual(rebuilt.read_text()[-len(tables):], tables)


if __name__ == "__main__":
    os.environ.setdefault("LC_ALL", "C")
    unittest.main()
