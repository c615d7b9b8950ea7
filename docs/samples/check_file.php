<?php
// Checks the uploaded file and lists its rows.
declare(strict_types=1);

function check_file(string $name, array $options = []): bool
{
    if (!is_readable($name)) {
        return false; /* nothing to check */
    }
    $rows = file($name, FILE_IGNORE_NEW_LINES);
    foreach ($rows as $i => $row) {
        echo "<tr><td>$i</td><td>", htmlspecialchars($row), "</td></tr>\n";
    }
    return count($rows) > 0 && ($options['strict'] ?? false) === false;
}
?>
<html>
<body>
  <h1>Result</h1>
  <?php check_file('data.txt', ['strict' => true]); ?>
</body>
</html>
