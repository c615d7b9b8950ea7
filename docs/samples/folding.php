<?php
// A shopping basket: totals, discounts and the receipt.
declare(strict_types=1);

//#region data
const VAT = 0.2;
$prices = ['coffee' => 3.5, 'tea' => 2.0, 'cake' => 4.25];
//#endregion

/**
 * A basket of items with their quantities.
 * Prices come from the price list above.
 */
class Basket
{
    private array $items = [];

    public function add(string $name, int $count = 1): void
    {
        if ($count <= 0) {
            throw new InvalidArgumentException("count must be positive: {$count}");
        }
        $this->items[$name] = ($this->items[$name] ?? 0) + $count;
    }

    public function total(array $prices): float
    {
        $sum = 0.0;
        foreach ($this->items as $name => $count) {
            $sum += $prices[$name] * $count;
        }
        return $sum * (1 + VAT);
    }

    /* The receipt lists every item
       on a line of its own. */
    public function receipt(array $prices): string
    {
        $lines = [];
        foreach ($this->items as $name => $count) {
            $lines[] = sprintf("%-10s %3d", $name, $count);
        }
        return implode("\n", $lines);
    }
}

$basket = new Basket();
$basket->add('coffee', 2);
echo $basket->receipt($prices), "\n", $basket->total($prices), "\n";
