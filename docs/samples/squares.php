<?php
// Squares and their reciprocals: the reciprocals print as PHP's precision setting says.
$n = (int)($argv[1] ?? 5);
echo "<h1>Squares</h1>\n";
for ($i = 1; $i <= $n; $i++) {
    echo "<p>{$i}² = ", $i * $i, " and 1/$i = ", 1 / $i, "</p>\n";
}
echo "<p>PHP ", PHP_VERSION, " in ", basename(getcwd()), "</p>\n";
