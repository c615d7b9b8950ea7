<?php
// Lists the shop's prices with the tax of each item's rate.
require __DIR__ . '/vendor/acme/Prices.php';

$prices = new Acme\Prices();
$items = ['tea' => [2.5, 'reduced'], 'mug' => [8.0, 'standard'], 'gold tea' => [99.0, 'luxury']];
$rows = [];
foreach ($items as $name => [$net, $rate]) {
    $rows[] = "<tr><td>$name</td><td>" . $prices->gross($net, $rate) . "</td></tr>";
}
echo "<h1>Shop</h1>\n<table>\n", implode("\n", $rows), "\n</table>\n";
